// The frame buffer's request forms, the CRC that closes every frame, and the
// small texts in which bytes and numbers are shown.
#pragma once

#include <array>
#include <cstdint>

#include <QString>

namespace telvar {

using FrameBuffer = std::array<uint8_t, 256>;

// Device addresses: 0 is the broadcast address, 1..247 are the devices.
constexpr int kMinAddress = 1;
constexpr int kMaxAddress = 247;

// Bytes around a function-3 reply's data: address, function, byte count, CRC.
constexpr int kReplyOverhead = 5;

// A function-3 or function-6 request: address, function, two words, CRC.
constexpr uint8_t kTwoWordRequestLength = 8;
// The reply to a write: a function-6 reply echoes the request whole, and a
// function-16 reply (start and count) is as long.
constexpr uint8_t kWriteReplyLength = kTwoWordRequestLength;

// CRC-16 of the Modbus serial line over the first length bytes
// (start FFFF, reflected polynomial A001, no final XOR). Length 0 gives FFFF.
uint16_t Crc16(const uint8_t* bytes, uint16_t length);

// Stores the CRC of bytes 0..length-1 behind them, low byte first.
void AppendCrc(FrameBuffer& frame, uint8_t length);

// True when the last two of the first receivedCount bytes hold, low byte
// first, the CRC of the bytes before them. A count below 2 leaves no room for
// a CRC and fails; a count of 2 passes only for FF FF.
bool ReplyCrcOk(const FrameBuffer& frame, uint16_t receivedCount);

// Request forms, built from byte 0 with their CRC. Each returns the expected
// reply length.
uint8_t BuildReadHoldingRegisters(FrameBuffer& frame, uint8_t address, uint16_t start, uint16_t count);
uint8_t BuildWriteSingleRegister(FrameBuffer& frame, uint8_t address, uint16_t reg, uint16_t value);
// Function 16 for one float in two registers, most significant byte first.
// Returns the frame length (13).
uint8_t BuildWriteFloat(FrameBuffer& frame, uint8_t address, uint8_t startRegister, float value);

// Expected reply length of a read of count registers: 2 * count plus the
// reply overhead, in 8 bits; a count of 0 counted as 1.
uint8_t ReadReplyLength(uint16_t count);

// Two upper-case hexadecimal digits: 10 gives "0A".
QString ByteToHex(uint8_t value);

// The decimal text of value right-aligned in width characters with leading
// zeros (5 in width 3 gives "005"); a longer number is given in full.
QString ZeroPadded(uint16_t value, uint8_t width);

// Register k of a function-3 reply in the frame buffer (high byte first).
inline uint16_t ReplyRegister(const FrameBuffer& frame, int k) {
  return uint16_t(frame[3 + 2 * k] << 8 | frame[4 + 2 * k]);
}

}  // namespace telvar
