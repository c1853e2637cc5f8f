// The writes a second-generation device takes from the window: alarm and
// sound reset, output logic in alarm, the mode flags, a loop's cable length
// and linear resistance, and the two-step loop calibration and model change
// (an unlock write to register 131 before each). The window's handlers make
// their checks and call these.
#pragma once

#include <cstdint>

#include "link/bus_link.h"

namespace telvar::v2 {

constexpr uint16_t kUnlockRegister = 131;
constexpr uint16_t kUnlockCode = 0x5E2B;
constexpr uint16_t kCalibrationRegister = 80;
constexpr uint16_t kModelRegister = 0;
constexpr uint16_t kAlarmResetRegister = 23;
constexpr uint16_t kAlarmResetValue = 0xAA55;
constexpr uint16_t kSoundResetRegister = 22;
constexpr uint16_t kBroadcastSoundResetRegister = 0;
constexpr uint16_t kSoundResetValue = 0xA55A;
constexpr uint16_t kOutputLogicRegister = 18;  // + loop
constexpr uint16_t kCableLengthRegister = 25;  // + loop
constexpr uint8_t kResistanceRegister = 12;    // + 2 * loop
constexpr uint16_t kFlagOn = 255;

// Sequencing states of the two-step operations, within the link's range.
constexpr uint8_t kStateCalibrationUnlock = kFirstSequenceState;  // 1, 3, 5 for loop 0, 1, 2
constexpr uint8_t kStateModelUnlock = 7;
constexpr uint8_t kStateModelWrite = kLastSequenceState;
static_assert(kStateModelUnlock + 1 == kStateModelWrite);

enum class ModeFlag : uint16_t {
  FixedCableLength = 24,     // B1_CBox
  ThermalCompensation = 28,  // B0_CBox
  OrsanPanel = 29,           // B2_CBox
};

// What an output logic button writes: a "ЗАМКНУТО" button 0 when selected,
// else 1; a "РАЗОМКНУТО" button 255 when selected, else 0.
uint16_t OutputLogicValue(bool openRow, bool selected);

// The Send* functions return false when the port failed.
bool SendAlarmReset(BusLink& link);
bool SendSoundReset(BusLink& link, bool broadcast);
bool SendOutputLogic(BusLink& link, int loop, uint16_t value);
bool SendModeFlag(BusLink& link, ModeFlag flag, bool on);
// Whole metres.
bool SendCableLength(BusLink& link, int loop, uint16_t metres);
// Function 16 over the loop's two registers, single precision.
bool SendLinearResistance(BusLink& link, int loop, double ohmPerMetre);

// Start a two-step operation: the first write 20 ms later.
void StartCalibration(BusLink& link, int loop);
void StartModelChange(BusLink& link, int modelItem);

// One step of a two-step operation (sequencing states 1..8), called by the
// sequencing timer after it has stopped itself.
void SequenceStep(BusLink& link);

}  // namespace telvar::v2
