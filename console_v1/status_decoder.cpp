#include "console_v1/status_decoder.h"

#include <bit>
#include <cmath>

#include "link/traffic_log.h"

namespace telvar::v1 {

namespace {

const QString kIndent = QStringLiteral("    ");
const QString kUnknownCode = QStringLiteral("    -??");

// Register k of the block: high byte at 3 + 2k.
int RegisterOffset(int k) { return 3 + 2 * k; }

}  // namespace

int ReadTimeoutMs(int baudIndex) {
  switch (baudIndex) {
    case 0: return 3000;  // 1200 baud
    case 1: return 1500;  // 2400 baud
    case 2: return 700;   // 4800 baud
    default: return 350;
  }
}

std::array<QString, kStatusRows> StartupLabels() {
  return {QStringLiteral("  ТИП"),          QStringLiteral("  РЕЖИМ РАБОТЫ"),     QStringLiteral("  ШС1 : СТАТУС"),
          QStringLiteral("  ШС2 : СТАТУС"), QStringLiteral("  ШС1 : ПОГОННОЕ R"), QStringLiteral("  ШС2 : ПОГОННОЕ R")};
}

QString LoopStateText(uint8_t code, uint16_t alarmDistance) {
  switch (code) {
    case 1: return QStringLiteral("    КЗ");
    case 2: return QStringLiteral("    ТРЕВОГА :  L = ") + ZeroPadded(alarmDistance, 4) + QStringLiteral("м");
    case 4: return QStringLiteral("    НОРМА");
    case 8: return QStringLiteral("    ОБРЫВ");
    default: return kUnknownCode;
  }
}

QString LatchingModeText(uint8_t mode) {
  switch (mode) {
    case 0: return QStringLiteral("    С ФИКСАЦИЕЙ ТРЕВОГИ");
    case 1: return QStringLiteral("    БЕЗ ФИКСАЦИИ ТРЕВОГИ");
    default: return kUnknownCode;
  }
}

QString LinearResistanceText(const uint8_t* b) {
  // The device keeps the float least significant byte first.
  const uint32_t bits = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  const double value = std::bit_cast<float>(bits);
  // A damaged register pair must not pass for a resistance.
  if (std::isnan(value)) return QStringLiteral("    НЕ ЧИСЛО");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("    +БЕСКОНЕЧНОСТЬ") : QStringLiteral("    -БЕСКОНЕЧНОСТЬ");
  // QString::number always writes a point, whatever the locale.
  return kIndent + QString::number(value, 'f', 3);
}

StatusDecode DecodeStatusBlock(const FrameBuffer& frame, uint16_t receivedCount) {
  StatusDecode result;
  const uint8_t byteCount = frame[2];
  // A reply shorter than its byte count says would leave stale bytes of the
  // request in the block.
  if (byteCount != kStatusByteCount || receivedCount != byteCount + kReplyOverhead) {
    result.rejection = kLineBadLength;
    return result;
  }
  const uint16_t model = ReplyRegister(frame, 0);
  if (model != kModelTwoLoops && model != kModelOneLoop) {
    result.rejection = kLineBadId;
    return result;
  }
  const bool twoLoops = model == kModelTwoLoops;
  StatusBlock& block = result.block.emplace();

  const uint8_t logic = frame[RegisterOffset(11)];
  const uint8_t latching = frame[RegisterOffset(11) + 1];
  const uint8_t loop1State = frame[RegisterOffset(3) + 1];
  const uint8_t loop2State = frame[RegisterOffset(3)];
  const QString resistance1 = LinearResistanceText(&frame[RegisterOffset(7)]);

  block.labels[0] = QStringLiteral("  ТИП");
  block.labels[1] = QStringLiteral("  РЕЖИМ РАБОТЫ");
  block.labels[2] = QStringLiteral("  ШС1 :  СТАТУС");
  block.values[1] = LatchingModeText(latching);
  block.values[2] = LoopStateText(loop1State, ReplyRegister(frame, 4));
  block.loop1 = (logic & 0x01) ? OutputLogic::Closed : OutputLogic::Open;

  if (twoLoops) {
    block.values[0] = QStringLiteral("    ТЕЛВАР-2(EX)");
    block.labels[3] = QStringLiteral("  ШС2 :  СТАТУС");
    block.values[3] = LoopStateText(loop2State, ReplyRegister(frame, 5));
    block.labels[4] = QStringLiteral("  ШС1 :  ПОГОННОЕ R");
    block.values[4] = resistance1;
    block.labels[5] = QStringLiteral("  ШС2 :  ПОГОННОЕ R");
    block.values[5] = LinearResistanceText(&frame[RegisterOffset(9)]);
    block.loop2 = (logic & 0x02) ? OutputLogic::Closed : OutputLogic::Open;
  } else {
    block.values[0] = QStringLiteral("    ТЕЛВАР-1(EX)");
    block.labels[3] = QStringLiteral("  ШС1 :  ПОГОННОЕ R");
    block.values[3] = resistance1;
    // Rows 4 and 5 stay empty; the second loop's buttons are cleared.
  }
  return result;
}

}  // namespace telvar::v1
