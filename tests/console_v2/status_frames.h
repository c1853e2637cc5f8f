// Status replies of a second-generation device for the tests: the worked
// example of the device documentation and blocks built from registers.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include <QByteArray>

#include "link/frame.h"

namespace v2test {

// 01 03 3C ... 4F 63: a ТЕЛВАР-2 at address 1 (65 bytes).
inline QByteArray WorkedExample() {
  return QByteArray::fromHex(
      "01033C0014000100040003000500000003000600000125000000003F1EB8523F0000003F1EB852000000FF000000FF"
      "0000000000FF03E801F40000000000FF4F63");
}

using Registers = std::array<uint16_t, 30>;

// The worked example's registers.
inline Registers WorkedRegisters() {
  const QByteArray reply = WorkedExample();
  Registers regs{};
  for (int k = 0; k < 30; ++k) regs[k] = uint16_t(uint8_t(reply[3 + 2 * k]) << 8 | uint8_t(reply[4 + 2 * k]));
  return regs;
}

inline Registers With(Registers regs, std::initializer_list<std::pair<int, uint16_t>> changes) {
  for (auto [reg, value] : changes) regs[reg] = value;
  return regs;
}

// A function-3 reply carrying the registers, with its CRC. byteCount
// overrides byte 2 (the data stay 60 bytes).
inline QByteArray StatusReply(const Registers& regs, uint8_t address = 1, int byteCount = 60) {
  telvar::FrameBuffer frame{};
  frame[0] = address;
  frame[1] = 3;
  frame[2] = uint8_t(byteCount);
  for (int k = 0; k < 30; ++k) {
    frame[3 + 2 * k] = uint8_t(regs[k] >> 8);
    frame[4 + 2 * k] = uint8_t(regs[k]);
  }
  telvar::AppendCrc(frame, 63);
  return QByteArray(reinterpret_cast<const char*>(frame.data()), 65);
}

inline telvar::FrameBuffer ToFrame(const QByteArray& bytes) {
  telvar::FrameBuffer frame{};
  for (int i = 0; i < bytes.size() && i < int(frame.size()); ++i) frame[i] = uint8_t(bytes[i]);
  return frame;
}

}  // namespace v2test
