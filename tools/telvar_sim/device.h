// One device on the line: its registers and how it acts on requests.
#pragma once

#include "tools/telvar_sim/registers.h"
#include "tools/telvar_sim/reply_builder.h"

#include <memory>

namespace sim {

class Device {
public:
    Device(uint8_t address, int model, std::vector<uint16_t> registers);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    uint8_t address() const { return address_; }
    Generation generation() const { return generation_; }
    uint16_t reg(uint16_t r) const;

    struct Result {
        Bytes reply; // empty for a broadcast
        int exception = 0; // the exception code the reply carries, or 0
    };

    // Carries out a request (CRC included) addressed to this device or to all.
    Result serve(const Bytes& request);

    // The device refuses the request with the code, changing nothing.
    Bytes refuse(const Bytes& request, int code);

    // What a device does once its reply has left: take a new address.
    void afterReply();

    // A scripted change of state; false when it reaches outside the map.
    bool apply(const Assignment& a);

private:
    struct Write {
        uint16_t reg;
        uint16_t value;
    };
    int checkWrites(const std::vector<Write>& writes, bool unlocked) const;
    void actOnWrites(const Bytes& request, const std::vector<Write>& writes, uint16_t modelBefore);
    void resetAlarms();

    uint8_t address_;
    uint8_t pendingAddress_ = 0;
    Generation generation_;
    bool unlocked_ = false;
    modbus_mapping_t* map_ = nullptr;
    ReplyBuilder builder_;
};

} // namespace sim
