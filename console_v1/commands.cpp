#include "console_v1/commands.h"

#include "link/bus_link.h"

namespace telvar::v1 {

uint8_t BuildLinearResistanceFrame(FrameBuffer& frame, uint8_t address, bool secondLoop, double ohmPerMetre) {
  const uint8_t start = secondLoop ? kResistanceRegisterLoop2 : kResistanceRegisterLoop1;
  return BuildWriteFloat(frame, address, start, static_cast<float>(ohmPerMetre));
}

uint16_t OutputLogicValue(OutputLoop clicked, bool clickedClosed, bool otherClosed) {
  const bool loop1Closed = clicked == OutputLoop::Loop1 ? clickedClosed : otherClosed;
  const bool loop2Closed = clicked == OutputLoop::Loop2 ? clickedClosed : otherClosed;
  return uint16_t((loop1Closed ? 0x0100 : 0) | (loop2Closed ? 0x0200 : 0));
}

bool SendLinearResistance(BusLink& link, bool secondLoop, double ohmPerMetre) {
  FrameBuffer request{};
  const uint8_t length = BuildLinearResistanceFrame(request, link.deviceAddress, secondLoop, ohmPerMetre);
  return link.SendFrame(request, length, kWriteReplyLength, kReplyCalibration);
}

bool SendAlarmReset(BusLink& link) {
  return link.SendWriteSingleRegister(kAlarmResetRegister, kAlarmResetValue, kReplyCommand);
}

bool SendOutputLogic(BusLink& link, uint16_t value) {
  return link.SendWriteSingleRegister(kOutputLogicRegister, value, kReplyCommand);
}

}  // namespace telvar::v1
