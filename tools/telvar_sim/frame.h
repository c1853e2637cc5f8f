// Modbus RTU framing on the simulator side: the CRC and the length of a request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

// CRC-16/MODBUS of the first n bytes (FFFF for none).
uint16_t crc16(const uint8_t* data, size_t n);

// Appends the CRC, low byte first.
void appendCrc(Bytes& frame);

// True when the last two of the n bytes are the CRC of the others. Frames
// shorter than four bytes (address, function, CRC) never pass.
bool crcOk(const uint8_t* frame, size_t n);

// What the first bytes of a request tell about its length.
constexpr int kNeedMoreBytes = 0; // too few bytes yet to tell
constexpr int kUnknownLength = -1; // a function whose length only silence ends

// Length of the request that starts at data, of which n bytes are at hand.
int requestLength(const uint8_t* data, size_t n);

} // namespace sim
