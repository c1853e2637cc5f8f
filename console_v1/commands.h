// The writes a first-generation device takes: the linear resistance of one
// loop (function 16, two registers), the alarm reset and the output logic in
// alarm (function 6). The frame and value rules are plain functions; the
// Send* functions hand the request to the link with its pending reply kind.
#pragma once

#include <cstdint>

#include "link/frame.h"

namespace telvar {
class BusLink;
}

namespace telvar::v1 {

constexpr uint8_t kResistanceRegisterLoop1 = 7;  // registers 7 and 8
constexpr uint8_t kResistanceRegisterLoop2 = 9;  // registers 9 and 10
constexpr uint16_t kOutputLogicRegister = 11;
constexpr uint16_t kAlarmResetRegister = 12;
constexpr uint16_t kAlarmResetValue = 0xAAAA;

// The 13-byte function-16 frame with the value as the nearest single
// precision float, most significant byte first. Returns its length.
uint8_t BuildLinearResistanceFrame(FrameBuffer& frame, uint8_t address, bool secondLoop, double ohmPerMetre);

// Register 11 as one loop's click sets it: bit 8 for ШС1, bit 9 for ШС2
// (1 closed); the other loop's bit comes from its "ЗАМКНУТО" button; the
// low byte is always 0.
enum class OutputLoop { Loop1, Loop2 };
uint16_t OutputLogicValue(OutputLoop clicked, bool clickedClosed, bool otherClosed);

bool SendLinearResistance(BusLink& link, bool secondLoop, double ohmPerMetre);
bool SendAlarmReset(BusLink& link);
bool SendOutputLogic(BusLink& link, uint16_t value);

}  // namespace telvar::v1
