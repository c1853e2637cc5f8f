// The status block of a second-generation device (registers 0..29) and its
// decoding into the window: the status grid, the model combo box, the output
// logic radio buttons, the linear resistances, the cable lengths and the
// three mode flags.
//
// DecodeStatusBlock() is pure: frame in, what to show (or why not) out.
// ShowStatusBlock() writes it into the controls. DecodeStatusReply() is the
// link's status decoder hook that does both.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "link/frame.h"
#include "widgets/output_pair.h"

class QButtonGroup;
class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace telvar {
class BusLink;
class StatusGrid;
}  // namespace telvar

namespace telvar::v2 {

constexpr uint16_t kStatusRegisterCount = 30;
constexpr uint8_t kStatusByteCount = 2 * kStatusRegisterCount;
constexpr int kStatusRows = 7;
constexpr int kLoopCount = 3;

// Model identifiers of the second generation and their combo box items.
constexpr uint16_t kModelTelvar1 = 19;
constexpr uint16_t kModelTelvar3 = 21;
inline int ModelItem(uint16_t modelId) { return int(modelId) - kModelTelvar1; }

struct StatusBlock {
  uint16_t modelId = 0;
  std::array<QString, kStatusRows> labels;  // column 0; empty clears the cell
  std::array<QString, kStatusRows> values;  // column 1
  std::array<OutputLogic, kLoopCount> outputs{};
  std::array<float, kLoopCount> linearResistance{};  // Ohm/m
  std::array<uint16_t, kLoopCount> cableLength{};    // metres
  bool thermalCompensation = false;                  // register 28
  bool fixedCableLength = false;                     // register 24
  bool orsanPanel = false;                           // register 29
};

struct StatusDecode {
  std::optional<StatusBlock> block;
  QString rejection;  // the traffic-log line when block is empty
};

// Checks the byte count (60, and the received count equal to it plus 5) and
// the model identifier (high byte + low byte of register 0: 19, 20 or 21).
StatusDecode DecodeStatusBlock(const FrameBuffer& frame, uint16_t receivedCount);

// Grid texts.
QString LoopStateText(uint8_t code, uint16_t alarmDistance);
QString DetectorStateText(uint8_t code);
QString LatchingModeText(uint8_t code);
// Column 0 as the window shows it before the first decoded block.
QStringList StartupLabels();

// The controls that a decoded block is written into. Each output pair is a
// group of two radio buttons with the ids 0 (closed, "ЗАМКНУТО") and 1
// (open, "РАЗОМКНУТО"). selectModelItem selects the combo box item without
// counting it as the user's pick.
struct StatusControls {
  StatusGrid* grid = nullptr;
  std::function<void(int item)> selectModelItem;
  std::array<QButtonGroup*, kLoopCount> outputPairs{};
  std::array<QDoubleSpinBox*, kLoopCount> linearResistance{};  // SEdit1..SEdit3
  std::array<QSpinBox*, kLoopCount> cableLength{};             // SEdit4..SEdit6
  QCheckBox* thermalCompensation = nullptr;                    // B0_CBox
  QCheckBox* fixedCableLength = nullptr;                       // B1_CBox
  QCheckBox* orsanPanel = nullptr;                             // B2_CBox
};

void ShowStatusBlock(const StatusBlock& block, const StatusControls& controls);

// The link's status decoder: the block decoded and shown (kReplyStatus), or
// the rejection line logged and nothing changed (kReplyRejected).
uint8_t DecodeStatusReply(BusLink& link, const StatusControls& controls);

}  // namespace telvar::v2
