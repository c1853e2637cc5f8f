// The Modbus CRC of test frames, worked out bit by bit here rather than
// with the link's table, so that a fault in the link's CRC is not hidden.
#pragma once

#include <cstdint>
#include <initializer_list>

#include <QByteArray>

namespace telvar::testing {

inline uint16_t ModbusCrc(const QByteArray& bytes) {
  uint16_t crc = 0xFFFF;
  for (char c : bytes) {
    crc ^= uint8_t(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

// bytes followed by their CRC, low byte first.
inline QByteArray BytesWithCrc(QByteArray bytes) {
  const uint16_t crc = ModbusCrc(bytes);
  return bytes.append(char(crc & 0xFF)).append(char(crc >> 8));
}

inline QByteArray BytesWithCrc(std::initializer_list<int> bytes) {
  QByteArray frame;
  for (int b : bytes) frame.append(char(uint8_t(b)));
  return BytesWithCrc(frame);
}

// The bytes written in hex with their CRC appended, optionally spoiled.
inline QByteArray WithCrc(const QByteArray& hex, bool spoilCrc = false) {
  QByteArray bytes = BytesWithCrc(QByteArray::fromHex(hex));
  if (spoilCrc) bytes[bytes.size() - 1] = char(bytes.back() ^ 0x5A);
  return bytes;
}

}  // namespace telvar::testing
