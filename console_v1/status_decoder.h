// The status block of a first-generation device (ТЕЛВАР-1(EX), ТЕЛВАР-2(EX)):
// registers 0..11 read with one request, checked and turned into the texts
// of the status grid and the choice of the output logic radio buttons.
//
// DecodeStatusBlock is pure: it reads the reply and says what the window
// should show, or which line rejects the reply. The window applies it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QString>

#include "link/frame.h"
#include "widgets/output_pair.h"

namespace telvar::v1 {

constexpr uint16_t kStatusStartRegister = 0;
constexpr uint16_t kStatusRegisterCount = 12;
constexpr uint8_t kStatusByteCount = 2 * kStatusRegisterCount;
constexpr int kStatusRows = 6;

constexpr uint16_t kModelTwoLoops = 3;  // ТЕЛВАР-2(EX)
constexpr uint16_t kModelOneLoop = 4;   // ТЕЛВАР-1(EX)

// Reply time-out of a read at baud index 0..7: slow lines get longer.
int ReadTimeoutMs(int baudIndex);

// Labels that the window writes at start-up (one space after the colon).
std::array<QString, kStatusRows> StartupLabels();

struct StatusBlock {
  std::array<QString, kStatusRows> labels;
  std::array<QString, kStatusRows> values;  // empty: the cell is cleared
  OutputLogic loop1 = OutputLogic::None;    // B0_Button / B1_Button
  OutputLogic loop2 = OutputLogic::None;    // C0_Button / C1_Button
};

struct StatusDecode {
  std::optional<StatusBlock> block;
  QString rejection;  // the traffic-log line when block is empty
};

// The reply of the status request as it stands in the frame buffer, with
// receivedCount bytes received. Rejects a reply whose byte count is not 24
// or does not match the bytes received, and a model other than 3 and 4.
StatusDecode DecodeStatusBlock(const FrameBuffer& frame, uint16_t receivedCount);

// Texts of single fields, each with the value column's four leading spaces.
QString LoopStateText(uint8_t code, uint16_t alarmDistance);
QString LatchingModeText(uint8_t mode);
// The float in two registers taken with the first byte received as the
// least significant; three decimals and a point in any locale.
QString LinearResistanceText(const uint8_t* fourBytes);

}  // namespace telvar::v1
