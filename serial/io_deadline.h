// When a read or a write of the port gives up. Pure arithmetic on a monotonic
// clock, kept apart from the platform calls so that it can be tested without
// a device. The rules are those of the classic serial time-out block: a read
// ends when the gap after the last byte exceeds the interval or when the
// total for the request runs out; a write ends when its total runs out.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace telvar {

using SteadyClock = std::chrono::steady_clock;

// A time-out field as the user sets it: -1 (or any negative value) stands for
// the largest unsigned 32-bit value, which the special read rules test for.
constexpr uint32_t kMaxTimeout = 0xFFFFFFFFu;
inline uint32_t TimeoutField(int value) { return value < 0 ? kMaxTimeout : static_cast<uint32_t>(value); }

// A total longer than about 34 years is treated as that long, which keeps the
// time point arithmetic within range.
inline int64_t TotalMilliseconds(uint32_t multiplier, uint32_t constant, int count) {
  constexpr int64_t kLongest = int64_t(1) << 40;
  const int64_t total = int64_t(multiplier) * std::max(count, 0) + int64_t(constant);
  return std::min(total, kLongest);
}

// Milliseconds left until a point in time, rounded up so that a wait never
// ends just before the point and comes back to wait for 0 ms.
inline int64_t MillisecondsUntil(SteadyClock::time_point at, SteadyClock::time_point now) {
  if (at <= now) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(at - now);
  return left.count();
}

// The time-out of one read. Wait() tells how long to wait for more bytes:
// -1 without limit, 0 when the read is over and returns what it has.
class ReadDeadline {
 public:
  ReadDeadline(uint32_t interval, uint32_t totalMultiplier, uint32_t totalConstant, int count,
               SteadyClock::time_point start)
      : interval_(interval) {
    if (interval == kMaxTimeout && totalMultiplier == 0 && totalConstant == 0) {
      immediate_ = true;  // return at once with whatever has arrived
    } else if (interval == kMaxTimeout && totalMultiplier == kMaxTimeout && totalConstant > 0 &&
               totalConstant < kMaxTimeout) {
      firstByteOnly_ = true;  // wait for the first byte at most totalConstant, then return
      total_ = start + std::chrono::milliseconds(totalConstant);
      hasTotal_ = true;
    } else {
      const int64_t totalMs = TotalMilliseconds(totalMultiplier, totalConstant, count);
      if (totalMs > 0) {
        total_ = start + std::chrono::milliseconds(totalMs);
        hasTotal_ = true;
      }
    }
  }

  // Bytes have arrived at now.
  void BytesArrived(SteadyClock::time_point now) {
    lastByte_ = now;
    gotBytes_ = true;
  }

  int64_t Wait(SteadyClock::time_point now) const {
    if (immediate_) return 0;
    if (firstByteOnly_ && gotBytes_) return 0;
    int64_t wait = -1;
    if (hasTotal_) wait = MillisecondsUntil(total_, now);
    // An interval of 0 means none; the gap is only timed once a byte has come.
    if (gotBytes_ && interval_ != 0 && interval_ != kMaxTimeout && !firstByteOnly_) {
      const int64_t gap = MillisecondsUntil(lastByte_ + std::chrono::milliseconds(interval_), now);
      wait = wait < 0 ? gap : std::min(wait, gap);
    }
    return wait;
  }

 private:
  uint32_t interval_;
  bool immediate_ = false;
  bool firstByteOnly_ = false;
  bool hasTotal_ = false;
  bool gotBytes_ = false;
  SteadyClock::time_point total_{};
  SteadyClock::time_point lastByte_{};
};

// The time-out of one write: totalConstant + totalMultiplier * count ms,
// both 0 meaning none. Wait() as for ReadDeadline.
class WriteDeadline {
 public:
  WriteDeadline(uint32_t totalMultiplier, uint32_t totalConstant, int count, SteadyClock::time_point start) {
    const int64_t totalMs = TotalMilliseconds(totalMultiplier, totalConstant, count);
    if (totalMs > 0) {
      total_ = start + std::chrono::milliseconds(totalMs);
      hasTotal_ = true;
    }
  }
  int64_t Wait(SteadyClock::time_point now) const { return hasTotal_ ? MillisecondsUntil(total_, now) : -1; }

 private:
  bool hasTotal_ = false;
  SteadyClock::time_point total_{};
};

}  // namespace telvar
