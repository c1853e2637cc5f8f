#include "tools/telvar_sim/frame.h"

namespace sim {

uint16_t crc16(const uint8_t* data, size_t n)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

void appendCrc(Bytes& frame)
{
    const uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(crc & 0xFF);
    frame.push_back(crc >> 8);
}

bool crcOk(const uint8_t* frame, size_t n)
{
    if (n < 4)
        return false;
    const uint16_t stored = frame[n - 2] | (frame[n - 1] << 8);
    return crc16(frame, n - 2) == stored;
}

int requestLength(const uint8_t* data, size_t n)
{
    if (n < 2)
        return kNeedMoreBytes;
    switch (data[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8; // address, function, two 16-bit fields, CRC
    case 15:
    case 16:
        // address, function, start, count, byte count, data, CRC
        return n < 7 ? kNeedMoreBytes : 9 + data[6];
    case 7:
    case 11:
    case 12:
    case 17:
        return 4; // serial-line diagnostics: address, function, CRC
    default:
        return kUnknownLength;
    }
}

} // namespace sim
