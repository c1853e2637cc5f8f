#include "console_v2/commands.h"

#include "console_v2/status_decoder.h"
#include "link/bus_link.h"
#include "link/frame.h"

namespace telvar::v2 {

namespace {
constexpr uint16_t kClosedValue = 0;
constexpr uint16_t kOpenValue = 1;
}  // namespace

uint16_t OutputLogicValue(bool openRow, bool selected) {
  if (openRow) return selected ? kFlagOn : kClosedValue;
  return selected ? kClosedValue : kOpenValue;
}

bool SendAlarmReset(BusLink& link) {
  return link.SendWriteSingleRegister(kAlarmResetRegister, kAlarmResetValue, kReplyCommand);
}

bool SendSoundReset(BusLink& link, bool broadcast) {
  if (broadcast) {
    return link.SendBroadcastWriteSingleRegister(kBroadcastSoundResetRegister, kSoundResetValue, kReplyCommand);
  }
  return link.SendWriteSingleRegister(kSoundResetRegister, kSoundResetValue, kReplyCommand);
}

bool SendOutputLogic(BusLink& link, int loop, uint16_t value) {
  return link.SendWriteSingleRegister(uint16_t(kOutputLogicRegister + loop), value, kReplyCommand);
}

bool SendModeFlag(BusLink& link, ModeFlag flag, bool on) {
  return link.SendWriteSingleRegister(uint16_t(flag), on ? kFlagOn : 0, kReplyCommand);
}

bool SendCableLength(BusLink& link, int loop, uint16_t metres) {
  return link.SendWriteSingleRegister(uint16_t(kCableLengthRegister + loop), metres, kReplyCableLength);
}

bool SendLinearResistance(BusLink& link, int loop, double ohmPerMetre) {
  const uint8_t length =
      BuildWriteFloat(link.frame, link.deviceAddress, uint8_t(kResistanceRegister + 2 * loop), float(ohmPerMetre));
  return link.SendFrame(link.frame, length, kWriteReplyLength, kReplyCalibration);
}

void StartCalibration(BusLink& link, int loop) {
  link.StartOperation(uint8_t(kStateCalibrationUnlock + 2 * loop), kStepIntervalMs);
}

void StartModelChange(BusLink& link, int modelItem) {
  link.modelIdToWrite = uint16_t(kModelTelvar1 + modelItem);
  link.StartOperation(kStateModelUnlock, kStepIntervalMs);
}

void SequenceStep(BusLink& link) {
  // The next state is set before the write: a write that fails abandons
  // the sequence.
  const uint8_t state = link.sequencingState;
  switch (state) {
    case 1:
    case 3:
    case 5:
    case kStateModelUnlock:
      link.sequencingState = uint8_t(state + 1);
      link.SendWriteSingleRegister(kUnlockRegister, kUnlockCode, kReplyNone);
      break;
    case 2:
    case 4:
    case 6:
      link.sequencingState = kStateIdle;
      link.SendWriteSingleRegister(kCalibrationRegister, uint16_t(state / 2 - 1), kReplyCalibration);
      break;
    case kStateModelWrite:
      link.sequencingState = kStateIdle;
      link.echoGuard = 1;
      link.SendWriteSingleRegister(kModelRegister, link.modelIdToWrite, kReplyModelWrite);
      break;
    default: break;
  }
}

}  // namespace telvar::v2
