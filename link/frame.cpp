#include "link/frame.h"

#include <bit>
#include <cstring>

namespace telvar {

uint16_t Crc16(const uint8_t* bytes, uint16_t length) {
  uint16_t crc = 0xFFFF;
  for (uint16_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
  }
  return crc;
}

void AppendCrc(FrameBuffer& frame, uint8_t length) {
  // A frame of 255 bytes leaves room for its CRC only up to byte 255 - 2.
  if (length > frame.size() - 2) length = uint8_t(frame.size() - 2);
  const uint16_t crc = Crc16(frame.data(), length);
  frame[length] = uint8_t(crc & 0xFF);
  frame[length + 1] = uint8_t(crc >> 8);
}

bool ReplyCrcOk(const FrameBuffer& frame, uint16_t receivedCount) {
  // One byte leaves no room for a CRC; a count beyond the buffer cannot be.
  if (receivedCount < 2 || receivedCount > frame.size()) return false;
  const uint16_t stored = uint16_t(frame[receivedCount - 2] | frame[receivedCount - 1] << 8);
  return Crc16(frame.data(), uint16_t(receivedCount - 2)) == stored;
}

uint8_t ReadReplyLength(uint16_t count) { return uint8_t(2 * (count == 0 ? 1 : count) + kReplyOverhead); }

namespace {
// Functions 3 and 6 share one form: address, function, two 16-bit words
// high byte first, CRC.
void BuildTwoWordRequest(FrameBuffer& frame, uint8_t address, uint8_t function, uint16_t first, uint16_t second) {
  frame[0] = address;
  frame[1] = function;
  frame[2] = uint8_t(first >> 8);
  frame[3] = uint8_t(first);
  frame[4] = uint8_t(second >> 8);
  frame[5] = uint8_t(second);
  AppendCrc(frame, 6);
}
}  // namespace

uint8_t BuildReadHoldingRegisters(FrameBuffer& frame, uint8_t address, uint16_t start, uint16_t count) {
  BuildTwoWordRequest(frame, address, 3, start, count);
  return ReadReplyLength(count);
}

uint8_t BuildWriteSingleRegister(FrameBuffer& frame, uint8_t address, uint16_t reg, uint16_t value) {
  BuildTwoWordRequest(frame, address, 6, reg, value);
  return kWriteReplyLength;
}

uint8_t BuildWriteFloat(FrameBuffer& frame, uint8_t address, uint8_t startRegister, float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  frame[0] = address;
  frame[1] = 16;
  frame[2] = 0;
  frame[3] = startRegister;
  frame[4] = 0;
  frame[5] = 2;
  frame[6] = 4;
  frame[7] = uint8_t(bits >> 24);
  frame[8] = uint8_t(bits >> 16);
  frame[9] = uint8_t(bits >> 8);
  frame[10] = uint8_t(bits);
  AppendCrc(frame, 11);
  return 13;
}

QString ByteToHex(uint8_t value) {
  static const char digits[] = "0123456789ABCDEF";
  const QChar text[2] = {QLatin1Char(digits[value >> 4]), QLatin1Char(digits[value & 0x0F])};
  return QString(text, 2);
}

QString ZeroPadded(uint16_t value, uint8_t width) {
  return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

}  // namespace telvar
