#include "console_v2/status_decoder.h"

#include <bit>
#include <cstring>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "widgets/output_pair.h"
#include "widgets/status_grid.h"

namespace telvar::v2 {

namespace {

// Registers of the status block.
constexpr int kRegModel = 0;
constexpr int kRegLoopState = 3;      // 3, 4, 5
constexpr int kRegDetectorState = 6;  // 6, 7
constexpr int kRegAlarmDistance = 8;  // 8, 9, 10
constexpr int kRegResistance = 12;    // 12-13, 14-15, 16-17
constexpr int kRegOutputLogic = 18;   // 18, 19, 20
constexpr int kRegLatchingMode = 21;
constexpr int kRegFixedCableLength = 24;
constexpr int kRegCableLength = 25;  // 25, 26, 27
constexpr int kRegThermal = 28;
constexpr int kRegOrsan = 29;

constexpr uint8_t kDistanceWidth = 4;

const QString kValueIndent = QStringLiteral("    ");
const QString kUnknown = QStringLiteral("    -??");
const QString kNormal = QStringLiteral("    НОРМА");

uint16_t Reg(const FrameBuffer& frame, int k) { return ReplyRegister(frame, k); }
uint8_t Low(const FrameBuffer& frame, int k) { return frame[4 + 2 * k]; }

// Two registers, upper half first: the float's bytes from the most
// significant on.
float RegisterFloat(const FrameBuffer& frame, int k) {
  const uint32_t bits = uint32_t(Reg(frame, k)) << 16 | Reg(frame, k + 1);
  return std::bit_cast<float>(bits);
}

QString LoopLabel(int loop) { return QStringLiteral("  ШС%1 :  СТАТУС").arg(loop + 1); }
QString DetectorLabel(int detector) { return QStringLiteral("  ИП%1 :  СТАТУС").arg(detector + 1); }

}  // namespace

QString LoopStateText(uint8_t code, uint16_t alarmDistance) {
  switch (code) {
    case 1: return QStringLiteral("    КЗ");
    case 2: return QStringLiteral("    ОБРЫВ");
    case 3: return kNormal;
    case 5:
      return QStringLiteral("    ТРЕВОГА :  L = ") + ZeroPadded(alarmDistance, kDistanceWidth) + QStringLiteral("м");
    default: return kUnknown;
  }
}

QString DetectorStateText(uint8_t code) {
  switch (code) {
    case 3: return kNormal;
    case 6: return QStringLiteral("    НЕИСПРАВНОСТЬ");
    default: return kUnknown;
  }
}

QString LatchingModeText(uint8_t code) {
  switch (code) {
    case 0: return QStringLiteral("    БЕЗ ФИКСАЦИИ ТРЕВОГИ");
    case 255: return QStringLiteral("    С ФИКСАЦИЕЙ ТРЕВОГИ");
    default: return kUnknown;
  }
}

QStringList StartupLabels() {
  return {QStringLiteral("  ТИП"),          QStringLiteral("  РЕЖИМ РАБОТЫ"), QStringLiteral("  ШС1 : СТАТУС"),
          QStringLiteral("  ШС2 : СТАТУС"), QStringLiteral("  ШС3 : СТАТУС"), QStringLiteral("  ИП1 : СТАТУС"),
          QStringLiteral("  ИП2 : СТАТУС")};
}

StatusDecode DecodeStatusBlock(const FrameBuffer& frame, uint16_t receivedCount) {
  // A short reply leaves the bytes of an earlier one behind it in the
  // buffer: the count received must match the count the reply announces.
  if (frame[2] != kStatusByteCount || receivedCount != frame[2] + kReplyOverhead) {
    return {std::nullopt, kLineBadLength};
  }
  const uint16_t modelId = uint16_t(frame[3 + 2 * kRegModel] + frame[4 + 2 * kRegModel]);
  if (modelId < kModelTelvar1 || modelId > kModelTelvar3) return {std::nullopt, kLineBadId};

  StatusBlock block;
  block.modelId = modelId;
  const int loops = modelId - kModelTelvar1 + 1;
  block.labels[0] = QStringLiteral("  ТИП");
  block.values[0] = kValueIndent + QStringLiteral("ТЕЛВАР-%1").arg(loops);
  block.labels[1] = QStringLiteral("  РЕЖИМ РАБОТЫ");
  block.values[1] = LatchingModeText(Low(frame, kRegLatchingMode));
  int row = 2;
  for (int loop = 0; loop < loops; ++loop, ++row) {
    block.labels[row] = LoopLabel(loop);
    block.values[row] = LoopStateText(Low(frame, kRegLoopState + loop), Reg(frame, kRegAlarmDistance + loop));
  }
  for (int detector = 0; detector < 2; ++detector, ++row) {
    block.labels[row] = DetectorLabel(detector);
    block.values[row] = DetectorStateText(Low(frame, kRegDetectorState + detector));
  }
  // Rows after the detectors stay empty.

  for (int loop = 0; loop < kLoopCount; ++loop) {
    block.outputs[loop] = loop >= loops                             ? OutputLogic::None
                          : Low(frame, kRegOutputLogic + loop) == 0 ? OutputLogic::Closed
                                                                    : OutputLogic::Open;
    block.linearResistance[loop] = RegisterFloat(frame, kRegResistance + 2 * loop);
    block.cableLength[loop] = Reg(frame, kRegCableLength + loop);
  }
  block.fixedCableLength = Low(frame, kRegFixedCableLength) != 0;
  block.thermalCompensation = Low(frame, kRegThermal) != 0;
  block.orsanPanel = Low(frame, kRegOrsan) != 0;
  return {block, QString()};
}

void ShowStatusBlock(const StatusBlock& block, const StatusControls& controls) {
  if (controls.selectModelItem) controls.selectModelItem(ModelItem(block.modelId));
  for (int row = 0; row < kStatusRows; ++row) {
    controls.grid->SetCell(0, row, block.labels[row]);
    controls.grid->SetCell(1, row, block.values[row]);
  }
  for (int loop = 0; loop < kLoopCount; ++loop) {
    CheckOutputPair(controls.outputPairs[loop], block.outputs[loop]);
    controls.linearResistance[loop]->setValue(double(block.linearResistance[loop]));
    controls.cableLength[loop]->setValue(block.cableLength[loop]);
  }
  controls.fixedCableLength->setChecked(block.fixedCableLength);
  controls.thermalCompensation->setChecked(block.thermalCompensation);
  controls.orsanPanel->setChecked(block.orsanPanel);
}

uint8_t DecodeStatusReply(BusLink& link, const StatusControls& controls) {
  const StatusDecode decoded = DecodeStatusBlock(link.frame, link.receivedCount);
  if (!decoded.block) {
    link.Log().AddLine(decoded.rejection);
    return kReplyRejected;
  }
  ShowStatusBlock(*decoded.block, controls);
  return kReplyStatus;
}

}  // namespace telvar::v2
