// The frame and log helpers on any bytes: the CRC against an independent
// table-driven one, a frame closed with its own CRC, the request builders,
// the hexadecimal byte text, the zero-padded number text and the lines of
// the traffic log.
//
// Input: [w0 w1] [v0 v1] [f0 f1 f2 f3] rest. w and v are 16-bit numbers
// (registers, counts, the padded value), w0 is also the address and v0 the
// width, f a float's bits; all of the input is also the bytes that are
// framed and logged.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "link/frame.h"
#include "link/traffic_log.h"
#include "tests/fuzz/fuzz_check.h"

using namespace telvar;

namespace {

constexpr size_t kHeaderSize = 8;
constexpr uint8_t kUntouched = 0xA5;  // what a builder must leave alone
constexpr int kLineLead = 5;          // "TX : ", "RX : " or five spaces
constexpr int kByteWidth = 3;         // two digits and a space
constexpr int kFullLineWidth = 56;

// CRC-16/MODBUS from a table, built apart from the code under test.
uint16_t ReferenceCrc(const uint8_t* bytes, size_t length) {
  static const std::array<uint16_t, 256> table = [] {
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t value = uint16_t(i);
      for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? uint16_t((value >> 1) ^ 0xA001) : uint16_t(value >> 1);
      t[i] = value;
    }
    return t;
  }();
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) crc = uint16_t((crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFF]);
  return crc;
}

uint16_t Word(const uint8_t* bytes) { return uint16_t(bytes[0] << 8 | bytes[1]); }

int HexDigit(QChar c) {
  if (c >= u'0' && c <= u'9') return c.unicode() - '0';
  if (c >= u'A' && c <= u'F') return c.unicode() - 'A' + 10;
  return -1;  // lower case is wrong too
}

void CheckByteToHex(uint8_t value) {
  const QString text = ByteToHex(value);
  FUZZ_CHECK(text.size() == 2);
  FUZZ_CHECK(HexDigit(text[0]) >= 0 && HexDigit(text[1]) >= 0);
  FUZZ_CHECK(HexDigit(text[0]) * 16 + HexDigit(text[1]) == value);
}

void CheckCrc(const uint8_t* bytes, size_t size) {
  const uint16_t length = uint16_t(std::min<size_t>(size, UINT16_MAX));
  FUZZ_CHECK(Crc16(bytes, length) == ReferenceCrc(bytes, length));

  // A frame closed with its own CRC passes; one flipped bit or the CRC's
  // bytes swapped (when they differ) fail.
  FrameBuffer frame{};
  const uint8_t n = uint8_t(std::min<size_t>(size, frame.size() - 2));
  std::copy_n(bytes, n, frame.begin());
  AppendCrc(frame, n);
  FUZZ_CHECK(std::equal(bytes, bytes + n, frame.begin()));
  const uint16_t count = uint16_t(n + 2);
  FUZZ_CHECK(ReplyCrcOk(frame, count));
  const uint16_t crc = ReferenceCrc(bytes, n);
  FUZZ_CHECK(frame[n] == (crc & 0xFF) && frame[n + 1] == crc >> 8);

  FrameBuffer swapped = frame;
  std::swap(swapped[n], swapped[n + 1]);
  FUZZ_CHECK(ReplyCrcOk(swapped, count) == (frame[n] == frame[n + 1]));

  if (size > 0) {
    const unsigned bit = bytes[0] % (8u * count);
    FrameBuffer flipped = frame;
    flipped[bit / 8] ^= uint8_t(1u << (bit % 8));
    FUZZ_CHECK(!ReplyCrcOk(flipped, count));
  }

  // Any received count, also beyond the buffer, is judged without reading
  // outside it.
  const uint16_t anyCount = size >= 2 ? Word(bytes) : uint16_t(size);
  const bool ok = ReplyCrcOk(frame, anyCount);
  if (anyCount < 2 || anyCount > frame.size()) {
    FUZZ_CHECK(!ok);
  } else {
    const uint16_t stored = uint16_t(frame[anyCount - 2] | frame[anyCount - 1] << 8);
    FUZZ_CHECK(ok == (ReferenceCrc(frame.data(), anyCount - 2) == stored));
  }

  // A length too long for its CRC is closed at the end of the buffer.
  FrameBuffer full{};
  full.fill(kUntouched);
  const uint8_t length8 = size > 0 ? bytes[size - 1] : 0;
  AppendCrc(full, length8);
  FUZZ_CHECK(ReplyCrcOk(full, uint16_t(std::min<int>(length8, full.size() - 2) + 2)));
}

// The builder wrote exactly its frame, closed by a good CRC.
void CheckBuilt(const FrameBuffer& frame, uint8_t length, std::initializer_list<uint8_t> head) {
  FUZZ_CHECK(std::equal(head.begin(), head.end(), frame.begin()));
  FUZZ_CHECK(ReplyCrcOk(frame, length));
  FUZZ_CHECK(std::all_of(frame.begin() + length, frame.end(), [](uint8_t b) { return b == kUntouched; }));
}

uint8_t Hi(uint16_t w) { return uint8_t(w >> 8); }
uint8_t Lo(uint16_t w) { return uint8_t(w); }

void CheckRequestForms(const uint8_t* header) {
  const uint8_t address = header[0];
  const uint16_t first = Word(header);
  const uint16_t second = Word(header + 2);
  FrameBuffer frame;

  frame.fill(kUntouched);
  const uint8_t expected = BuildReadHoldingRegisters(frame, address, first, second);
  CheckBuilt(frame, 8, {address, 3, Hi(first), Lo(first), Hi(second), Lo(second)});
  FUZZ_CHECK(expected == uint8_t(2 * std::max<int>(second, 1) + 5));
  FUZZ_CHECK(expected == ReadReplyLength(second));

  frame.fill(kUntouched);
  FUZZ_CHECK(BuildWriteSingleRegister(frame, address, first, second) == 8);
  CheckBuilt(frame, 8, {address, 6, Hi(first), Lo(first), Hi(second), Lo(second)});

  uint32_t bits;
  std::memcpy(&bits, header + 4, sizeof bits);
  const float value = std::bit_cast<float>(bits);
  frame.fill(kUntouched);
  FUZZ_CHECK(BuildWriteFloat(frame, address, Lo(first), value) == 13);
  CheckBuilt(frame, 13, {address, 16, 0, Lo(first), 0, 2, 4});
  const uint32_t sent = uint32_t(frame[7]) << 24 | uint32_t(frame[8]) << 16 | uint32_t(frame[9]) << 8 | frame[10];
  // Most significant byte first; a NaN may come out quieted.
  if (value == value) {
    FUZZ_CHECK(sent == bits);
  } else {
    const float back = std::bit_cast<float>(sent);
    FUZZ_CHECK(back != back);
  }
}

void CheckZeroPadded(const uint8_t* header) {
  const uint16_t value = Word(header);
  const uint8_t width = header[2];
  const QString text = ZeroPadded(value, width);
  const QString plain = QString::number(value);
  if (plain.size() >= width) {
    FUZZ_CHECK(text == plain);
  } else {
    FUZZ_CHECK(text.size() == width);
    FUZZ_CHECK(text.endsWith(plain));
    FUZZ_CHECK(text.first(width - plain.size()) == QString(width - plain.size(), u'0'));
  }
}

// (n + 16) / 17 lines of at most 17 bytes; the bytes read back unchanged.
void CheckByteLines(const QString& prefix, const uint8_t* bytes, int count) {
  const QStringList lines = ByteLines(prefix, bytes, count);
  FUZZ_CHECK(lines.size() == (count + kBytesPerLine - 1) / kBytesPerLine);
  int at = 0;
  for (int k = 0; k < lines.size(); ++k) {
    const QString& line = lines[k];
    FUZZ_CHECK(line.startsWith(k == 0 ? prefix : QString(kLineLead, u' ')));
    const int inLine = std::min(kBytesPerLine, count - k * kBytesPerLine);
    FUZZ_CHECK(line.size() == kLineLead + kByteWidth * inLine);
    if (inLine == kBytesPerLine) FUZZ_CHECK(line.size() == kFullLineWidth);
    for (int i = 0; i < inLine; ++i, ++at) {
      const QStringView byte = QStringView(line).mid(kLineLead + kByteWidth * i, kByteWidth);
      FUZZ_CHECK(byte[2] == u' ');
      FUZZ_CHECK(HexDigit(byte[0]) * 16 + HexDigit(byte[1]) == bytes[at]);
    }
  }
  FUZZ_CHECK(at == count);
}

void CheckLogRequest(const uint8_t* bytes, int count) {
  TrafficLog log;
  log.LogRequest(bytes, count);
  FUZZ_CHECK(log.Color() == kLogRed);
  FUZZ_CHECK(log.Lines() == ByteLines(kRequestPrefix, bytes, count) + QStringList{kPlaceholder});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckCrc(data, size);
  const int count = int(std::min<size_t>(size, INT32_MAX));
  // Every byte's text is checked in its line.
  CheckByteLines(size > 0 && data[0] % 2 ? kReplyPrefix : kRequestPrefix, data, count);
  CheckLogRequest(data, count);
  if (size > 0) CheckByteToHex(data[size - 1]);
  if (size >= kHeaderSize) {
    CheckRequestForms(data);
    CheckZeroPadded(data);
  }
  return 0;
}
