#include "tools/telvar_sim/device.h"

#include <algorithm>

namespace sim {

namespace {

constexpr int kIllegalFunction = MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
constexpr int kIllegalAddress = MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
constexpr int kIllegalValue = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;

constexpr uint16_t kModelReg = 0;
constexpr uint16_t kAddressReg = 1;
constexpr uint16_t kBaudReg = 2;

// Second generation.
constexpr uint16_t kSoundResetReg = 22;
constexpr uint16_t kAlarmResetReg = 23;
constexpr uint16_t kCalibrationReg = 80;
constexpr uint16_t kUnlockReg = 131;
constexpr uint16_t kSoundResetCode = 0xA55A;
constexpr uint16_t kAlarmResetCode = 0xAA55;
constexpr uint16_t kUnlockCode = 0x5E2B;
constexpr uint8_t kLoopNormal = 3;
constexpr uint8_t kLoopAlarm = 5;

// First generation.
constexpr uint16_t kV1AlarmResetReg = 12;
constexpr uint16_t kV1AlarmResetCode = 0xAAAA;
constexpr uint8_t kV1LoopNormal = 4;
constexpr uint8_t kV1LoopAlarm = 2;

uint16_t be16(const Bytes& b, size_t at)
{
    return uint16_t((b[at] << 8) | b[at + 1]);
}

} // namespace

Device::Device(uint8_t address, int model, std::vector<uint16_t> registers)
    : address_(address)
    , generation_(*generationOfModel(model))
{
    const uint16_t size = storageSize(generation_);
    map_ = modbus_mapping_new_start_address(0, 0, 0, 0, 0, size, 0, 0);
    registers.resize(size, 0);
    std::copy(registers.begin(), registers.end(), map_->tab_registers);
}

Device::~Device()
{
    modbus_mapping_free(map_);
}

uint16_t Device::reg(uint16_t r) const
{
    return r < storageSize(generation_) ? map_->tab_registers[r] : 0;
}

bool Device::apply(const Assignment& a)
{
    std::vector<uint16_t> regs(map_->tab_registers, map_->tab_registers + map_->nb_registers);
    if (!applyAssignment(generation_, a, regs))
        return false;
    std::copy(regs.begin(), regs.end(), map_->tab_registers);
    return true;
}

Bytes Device::refuse(const Bytes& request, int code)
{
    unlocked_ = false;
    return builder_.exception(request, code);
}

// The exception a device gives for the writes in its present state, or 0.
int Device::checkWrites(const std::vector<Write>& writes, bool unlocked) const
{
    for (const Write& w : writes) {
        if (w.reg == kAddressReg && (w.value < 1 || w.value > 247))
            return kIllegalValue;
        if (w.reg == kBaudReg && (w.value < 1 || w.value > 8))
            return kIllegalValue;
        if (generation_ != Generation::Second)
            continue;
        // The model and the calibration are guarded by the unlock code,
        // written by the request just before; the sound reset code in
        // register 0 is not a model.
        const bool modelWrite = w.reg == kModelReg && w.value != kSoundResetCode;
        if ((modelWrite || w.reg == kCalibrationReg) && !unlocked)
            return kIllegalFunction;
        if (modelWrite && generationOfModel(w.value) != Generation::Second)
            return kIllegalValue;
        if (w.reg == kCalibrationReg && w.value > 2)
            return kIllegalValue;
    }
    return 0;
}

Device::Result Device::serve(const Bytes& request)
{
    // The unlock lasts for the very next request only, whatever it is.
    const bool unlocked = unlocked_;
    unlocked_ = false;

    const uint8_t function = request[1];
    if (function != MODBUS_FC_READ_HOLDING_REGISTERS &&
        function != MODBUS_FC_WRITE_SINGLE_REGISTER &&
        function != MODBUS_FC_WRITE_MULTIPLE_REGISTERS)
        return {builder_.exception(request, kIllegalFunction), kIllegalFunction};

    const uint16_t start = be16(request, 2);
    std::vector<Write> writes;
    bool countValid = true;
    uint16_t count = 1;
    if (function == MODBUS_FC_READ_HOLDING_REGISTERS) {
        count = be16(request, 4);
        countValid = count >= 1 && count <= MODBUS_MAX_READ_REGISTERS;
    } else if (function == MODBUS_FC_WRITE_SINGLE_REGISTER) {
        writes.push_back({start, be16(request, 4)});
    } else {
        count = be16(request, 4);
        countValid = count >= 1 && count <= MODBUS_MAX_WRITE_REGISTERS && request[6] == 2 * count;
        for (uint16_t i = 0; countValid && i < count; ++i)
            writes.push_back({uint16_t(start + i), be16(request, 7 + 2 * i)});
    }

    // A wrong count is libmodbus's to refuse (illegal data value), before
    // the addresses are looked at.
    if (countValid) {
        if (!rangeInMap(generation_, start, count))
            return {builder_.exception(request, kIllegalAddress), kIllegalAddress};
        if (const int code = checkWrites(writes, unlocked))
            return {builder_.exception(request, code), code};
    }

    const uint16_t modelBefore = map_->tab_registers[kModelReg];
    Result result {builder_.reply(request, map_), 0};
    if (result.reply.size() >= 5 && (result.reply[1] & 0x80))
        result.exception = result.reply[2];
    else if (countValid)
        actOnWrites(request, writes, modelBefore);
    return result;
}

void Device::actOnWrites(
    const Bytes& request, const std::vector<Write>& writes, uint16_t modelBefore)
{
    uint16_t* regs = map_->tab_registers;
    for (const Write& w : writes) {
        if (w.reg == kAddressReg)
            pendingAddress_ = uint8_t(w.value); // once the reply has left
        if (generation_ == Generation::First) {
            if (w.reg == kV1AlarmResetReg) {
                if (w.value == kV1AlarmResetCode)
                    resetAlarms();
                regs[kV1AlarmResetReg] = 0; // a command, not a setting
            }
            continue;
        }
        switch (w.reg) {
        case kModelReg:
            if (w.value == kSoundResetCode)
                regs[kModelReg] = modelBefore; // the sounder falls silent
            break;
        case kSoundResetReg:
            regs[kSoundResetReg] = 0;
            break;
        case kAlarmResetReg:
            if (w.value == kAlarmResetCode)
                resetAlarms();
            regs[kAlarmResetReg] = 0;
            break;
        case kCalibrationReg:
            // Calibrating measures the loop afresh: it reads normal.
            regs[3 + w.value] = kLoopNormal;
            regs[8 + w.value] = 0;
            break;
        case kUnlockReg:
            unlocked_ = w.value == kUnlockCode;
            regs[kUnlockReg] = 0;
            break;
        default:
            break;
        }
    }

    // A first-generation device keeps a float least significant byte first:
    // the four bytes of a float written most significant first are stored
    // in the reverse order.
    if (generation_ == Generation::First && request[1] == MODBUS_FC_WRITE_MULTIPLE_REGISTERS) {
        const uint16_t start = be16(request, 2);
        const uint16_t count = be16(request, 4);
        for (uint16_t pair : {uint16_t(7), uint16_t(9)}) {
            if (pair < start || pair + 2 > start + count)
                continue;
            const size_t at = 7 + 2 * (pair - start);
            regs[pair] = uint16_t((request[at + 3] << 8) | request[at + 2]);
            regs[pair + 1] = uint16_t((request[at + 1] << 8) | request[at]);
        }
    }
}

void Device::resetAlarms()
{
    uint16_t* regs = map_->tab_registers;
    if (generation_ == Generation::Second) {
        for (int loop = 0; loop < 3; ++loop) {
            if ((regs[3 + loop] & 0xFF) == kLoopAlarm) {
                regs[3 + loop] = kLoopNormal;
                regs[8 + loop] = 0;
            }
        }
        return;
    }
    // First generation: ШС1 in the low byte of register 3, ШС2 in the high.
    uint8_t loops[2] = {uint8_t(regs[3] & 0xFF), uint8_t(regs[3] >> 8)};
    for (int loop = 0; loop < 2; ++loop) {
        if (loops[loop] == kV1LoopAlarm) {
            loops[loop] = kV1LoopNormal;
            regs[4 + loop] = 0;
        }
    }
    regs[3] = uint16_t((loops[1] << 8) | loops[0]);
}

void Device::afterReply()
{
    if (pendingAddress_ != 0) {
        address_ = pendingAddress_;
        pendingAddress_ = 0;
    }
}

} // namespace sim
