#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "com_port.h"
#include "io_deadline.h"
#include "port_backend.h"
#include "posix_line_rate.h"
#include "posix_low_latency.h"

namespace telvar {

struct PortChannel {
  int tty = -1;
  int wake = -1;   // eventfd: written once by a close, never drained
  int epoll = -1;  // the event thread's wait: tty edge-triggered, wake level
  bool locked = false;
  bool exclusive = false;
  bool saved = false;
  termios found{};         // the settings found at opening, restored at closing
  LatencySetting latency;  // the driver's own, restored at closing
  int baud = 9600;         // the line rate, for the time bytes take on the line
  int bitsPerByte = 10;    // start, data, parity and stop bits of one byte

  PortChannel() = default;
  PortChannel(const PortChannel&) = delete;
  PortChannel& operator=(const PortChannel&) = delete;
  ~PortChannel() {
    for (int fd : {epoll, wake, tty})
      if (fd >= 0) ::close(fd);
  }
};

namespace {

// --- line settings, one helper per termios change -------------------------

void SetRaw(termios& t) {
  t.c_iflag = 0;
  t.c_oflag = 0;
  t.c_lflag = 0;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL;
  // Reads never block in the driver; poll() does the waiting.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

void SetDataBits(termios& t, int bits) {
  switch (bits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
  }
}

void SetParity(termios& t, TParityBits parity, bool check) {
  switch (parity) {
    case TParityBits::prNone: break;
    case TParityBits::prOdd: t.c_cflag |= PARENB | PARODD; break;
    case TParityBits::prEven: t.c_cflag |= PARENB; break;
    case TParityBits::prMark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case TParityBits::prSpace: t.c_cflag |= PARENB | CMSPAR; break;
  }
  if (check && parity != TParityBits::prNone) t.c_iflag |= INPCK;
}

// One and a half stop bits exist only with five data bits, where the UART
// sends them for the two-stop-bit setting.
void SetStopBits(termios& t, TStopBits stop) {
  if (stop != TStopBits::sbOneStopBit) t.c_cflag |= CSTOPB;
}

void SetFlowControl(termios& t, const LineSettings& line) {
  if (line.ctsFlow || line.rts == TRTSFlowControl::rtsHandshake) t.c_cflag |= CRTSCTS;
  if (line.xonXoffOut) t.c_iflag |= IXON;
  if (line.xonXoffIn) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(line.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(line.xoffChar);
}

// The Bxxx constant of a rate, or 0 when the rate has none.
speed_t StandardSpeed(int baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return 0;
  }
}

void SetSpeed(termios& t, speed_t speed) {
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
}

// DTR and RTS as asked. Pseudo-terminals have no modem lines and refuse the
// call, which is of no consequence there.
void SetModemLines(int fd, bool dtrOn, bool rtsOn) {
  int on = (dtrOn ? TIOCM_DTR : 0) | (rtsOn ? TIOCM_RTS : 0);
  int off = (dtrOn ? 0 : TIOCM_DTR) | (rtsOn ? 0 : TIOCM_RTS);
  if (on) (void)ioctl(fd, TIOCMBIS, &on);
  if (off) (void)ioctl(fd, TIOCMBIC, &off);
}

int ApplyLine(int fd, const termios& base, const LineSettings& line) {
  if (line.baud <= 0) return EINVAL;
  termios t = base;
  SetRaw(t);
  SetDataBits(t, line.dataBits);
  SetParity(t, line.parity, line.parityCheck);
  SetStopBits(t, line.stopBits);
  SetFlowControl(t, line);
  const speed_t speed = StandardSpeed(line.baud);
  SetSpeed(t, speed != 0 ? speed : B38400);  // replaced just below when 0
  if (tcsetattr(fd, TCSANOW, &t) != 0) return errno;
  if (speed == 0) {
    if (int e = SetArbitraryLineRate(fd, static_cast<unsigned>(line.baud))) return e;
  }
  // Handshake and toggle modes have no POSIX counterpart: the line stays off.
  SetModemLines(fd, line.dtr == TDTRFlowControl::dtrEnable, line.rts == TRTSFlowControl::rtsEnable);
  return 0;
}

// Gives the device back as it was found: queues emptied, settings and the
// driver's latency restored, exclusive use ended. Failures are ignored: the
// device may be gone.
void Release(PortChannel& ch) {
  if (ch.tty < 0) return;
  RestoreLatency(ch.tty, ch.latency);
  if (ch.saved) {
    (void)tcflush(ch.tty, TCIOFLUSH);
    (void)tcsetattr(ch.tty, TCSANOW, &ch.found);
    ch.saved = false;
  }
  if (ch.exclusive) (void)ioctl(ch.tty, TIOCNXCL);
  if (ch.locked) (void)flock(ch.tty, LOCK_UN);
  ch.exclusive = ch.locked = false;
}

// --- waiting ----------------------------------------------------------------

// The kernel's "no such request" (ENOIOCTLCMD), which some drivers let out.
constexpr int kNoIoctlCommand = 515;

int PollTimeout(int64_t waitMs) { return waitMs < 0 ? -1 : static_cast<int>(std::min<int64_t>(waitMs, INT_MAX)); }

bool Woken(const PortChannel& ch) {
  pollfd p{ch.wake, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

// Waits for events on the tty, for a close, or for waitMs. Returns 0 (with
// the tty's events, none on a time-out), kAborted, or the errno.
int WaitOnTty(const PortChannel& ch, short events, int64_t waitMs, short* ttyEvents) {
  pollfd p[2] = {{ch.tty, events, 0}, {ch.wake, POLLIN, 0}};
  *ttyEvents = 0;
  const int n = poll(p, 2, PollTimeout(waitMs));
  if (n < 0) return errno == EINTR ? 0 : errno;
  if (p[1].revents != 0) return kAborted;
  *ttyEvents = p[0].revents;
  return 0;
}

// Bits a byte takes on the line: the start bit, the data bits, a parity bit
// and the stop bits (one and a half counted as one: never more than it takes).
int BitsPerByte(const LineSettings& line) {
  const int parity = line.parity == TParityBits::prNone ? 0 : 1;
  const int stop = line.stopBits == TStopBits::sbTwoStopBits ? 2 : 1;
  return 1 + line.dataBits + parity + stop;
}

void SetLineRate(PortChannel& ch, const LineSettings& line) {
  ch.baud = line.baud;
  ch.bitsPerByte = BitsPerByte(line);
}

// Milliseconds that count bytes take on the line, at least 1.
int64_t SendingMs(const PortChannel& ch, int64_t count) {
  return std::max<int64_t>(1, (count * ch.bitsPerByte * 1000 + ch.baud - 1) / ch.baud);
}

// Whole milliseconds that count bytes take on the line at the least.
int64_t LineMs(const PortChannel& ch, int64_t count) { return count * ch.bitsPerByte * 1000 / ch.baud; }

// After bytes have arrived, the rest of a read cannot come faster than the
// line carries it: rather than waking for every byte, the read sleeps until
// all but the last of them could be there. The sleep ends early for a close,
// never after the read's deadline, and lasts at most half the interval, so a
// device that stops half-way is noticed at most that much late. Returns 0 or
// kAborted.
int SleepWhileOnTheLine(const PortChannel& ch, int remaining, const ReadDeadline& deadline, uint32_t interval) {
  int64_t sleepMs = LineMs(ch, remaining - 1);
  const int64_t left = deadline.Wait(SteadyClock::now());
  if (left >= 0) sleepMs = std::min(sleepMs, left);
  if (interval != 0 && interval != kMaxTimeout) sleepMs = std::min<int64_t>(sleepMs, interval / 2);
  if (sleepMs < 2) return 0;  // a byte or so: the wait on the tty takes it
  pollfd p{ch.wake, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(sleepMs)) == 1 ? kAborted : 0;
}

// The driver refuses a request it does not know with one of these.
bool NotSupported(int error) { return error == ENOTTY || error == EINVAL || error == kNoIoctlCommand; }

// The driver's queue is empty, but the UART's FIFO and shift register may
// still hold up to a FIFO's worth of bytes. Where the driver shows the line
// status register (the 8250/16550 family and the other UARTs of the serial
// core, FTDI and several other USB adapters), it is polled about once a
// character until the transmitter is empty or the write's time runs out.
// Elsewhere tcdrain waits in the driver (USB adapters that know when their
// transmitter is empty, such as CP210x); it cannot be bounded from here, but
// with the queue empty and no flow control the rest goes out at the line
// rate, and the kernel bounds that wait itself. A pseudo-terminal answers
// both at once.
void WaitUntilTransmitterEmpty(const PortChannel& ch, const WriteDeadline& deadline) {
  for (;;) {
    int status = 0;
    if (ioctl(ch.tty, TIOCSERGETLSR, &status) != 0) {
      if (NotSupported(errno)) (void)tcdrain(ch.tty);
      return;
    }
    if (status & TIOCSER_TEMT) return;
    const int64_t left = deadline.Wait(SteadyClock::now());
    if (left == 0) return;
    const int64_t characterMs = SendingMs(ch, 1);
    short events = 0;
    if (WaitOnTty(ch, 0, left < 0 ? characterMs : std::min(left, characterMs), &events) != 0) return;
    if (events & (POLLHUP | POLLERR | POLLNVAL)) return;
  }
}

// A write has completed when its bytes have gone out on the line, not when
// the driver has queued them: the reply time-out must not run while the
// request is still being sent. Sleeps for the time the queued bytes take at
// the line rate, until the queue is empty or the write's time runs out,
// then waits for the transmitter itself; returns how many of the done bytes
// went out.
int WaitUntilSent(const PortChannel& ch, const WriteDeadline& deadline, int done) {
  for (;;) {
    int queued = 0;
    if (ioctl(ch.tty, TIOCOUTQ, &queued) != 0) return done;
    if (queued <= 0) {
      WaitUntilTransmitterEmpty(ch, deadline);
      return done;
    }
    const int64_t left = deadline.Wait(SteadyClock::now());
    if (left == 0) return std::max(0, done - queued);
    const int64_t sendingMs = SendingMs(ch, queued);
    short events = 0;
    if (WaitOnTty(ch, 0, left < 0 ? sendingMs : std::min(left, sendingMs), &events) != 0) return done;
    if (events & (POLLHUP | POLLERR | POLLNVAL)) return done;
  }
}

// --- opening -------------------------------------------------------------------

// The kernel files every serial port, USB adapter and console in the tty
// class; /sys/dev/char/MAJOR:MINOR/subsystem leads to that class.
bool InTtyClass(dev_t device) {
  char link[64];
  std::snprintf(link, sizeof link, "/sys/dev/char/%u:%u/subsystem", major(device), minor(device));
  char target[PATH_MAX];
  const ssize_t n = readlink(link, target, sizeof target);
  if (n <= 0 || n >= ssize_t(sizeof target)) return false;
  return std::string_view(target, size_t(n)).ends_with("/class/tty");
}

// Pseudo-terminal slaves have no entry in the device classes; they are the
// character devices of a devpts file system.
bool OnDevpts(int handle) {
  struct statfs fs {};
  return fstatfs(handle, &fs) == 0 && fs.f_type == DEVPTS_SUPER_MAGIC;
}

// Opens path for reading and writing only when it is a terminal. Some
// devices act on a mere open (a watchdog starts counting), so the device is
// first taken by a path-only handle, which opens nothing, and checked; the
// object checked is then opened through that handle, not through the name,
// which might have been replaced meanwhile. Returns 0 or the errno.
int OpenTerminal(const std::string& path, int* tty) {
  // A name with a NUL byte (a line of the port list file, say) would open
  // the shorter path before it, which is not the port asked for.
  if (path.find('\0') != std::string::npos) return ENOENT;
  const int handle = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (handle < 0) return errno;
  struct stat st {};
  int e = fstat(handle, &st) != 0 ? errno : 0;
  if (e == 0 && !(S_ISCHR(st.st_mode) && (InTtyClass(st.st_rdev) || OnDevpts(handle)))) e = ENOTTY;
  if (e == 0) {
    char self[48];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", handle);
    *tty = ::open(self, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (*tty < 0) e = errno;
  }
  ::close(handle);
  return e;
}

}  // namespace

// --- the event thread's wait --------------------------------------------------

int WaitForReceived(PortChannel& ch) {
  for (;;) {
    epoll_event ev[2];
    const int n = epoll_wait(ch.epoll, ev, 2, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    uint32_t ttyEvents = 0;
    for (int i = 0; i < n; ++i) {
      if (ev[i].data.fd == ch.wake) return -1;
      ttyEvents |= ev[i].events;
    }
    if (ttyEvents == 0) continue;
    // Edge-triggered: this wake-up stands for an arrival (or a hang-up);
    // bytes left unread by the handler do not wake the thread again.
    int waiting = 0;
    if (ioctl(ch.tty, FIONREAD, &waiting) != 0) return -1;
    if (waiting > 0) return waiting;
    if (ttyEvents & (EPOLLHUP | EPOLLERR)) return -1;
  }
}

void WakeChannel(PortChannel& ch) {
  if (ch.wake < 0) return;
  const uint64_t one = 1;
  (void)!::write(ch.wake, &one, sizeof one);
}

// --- the port -------------------------------------------------------------------

std::string PortDevicePath(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return "/dev/" + name;
}

PortBackend::~PortBackend() { Close(); }

// The driver's queues have a size of their own, and the time-outs are kept
// by each read and write: only the device and the line can fail here.
int PortBackend::Open(const std::string& name, const LineSettings& line, const TComBuffer&, const PortTimeouts&,
                      OpenStep* failed) {
  *failed = OpenStep::Device;
  Close();
  const std::string path = PortDevicePath(name);
  auto ch = std::make_shared<PortChannel>();
  if (int e = OpenTerminal(path, &ch->tty)) return e;
  if (!isatty(ch->tty)) return ENOTTY;

  auto fail = [&ch](int e) {
    Release(*ch);
    return e;
  };
  // The lock keeps out every other user of this component (root included);
  // TIOCEXCL keeps out other programs that open the device.
  if (flock(ch->tty, LOCK_EX | LOCK_NB) != 0) return fail(errno);
  ch->locked = true;
  if (ioctl(ch->tty, TIOCEXCL) != 0) return fail(errno);
  ch->exclusive = true;
  if (tcgetattr(ch->tty, &ch->found) != 0) return fail(errno);
  ch->saved = true;
  SetLineRate(*ch, line);
  if (int e = ApplyLine(ch->tty, ch->found, line)) {
    *failed = OpenStep::Line;
    return fail(e);
  }
  // Replies are handed over as they arrive, not up to a USB adapter's
  // latency timer later.
  ch->latency = RequestLowLatency(ch->tty);
  // A fresh open starts with an empty receive queue.
  (void)tcflush(ch->tty, TCIFLUSH);

  ch->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (ch->wake < 0) return fail(errno);
  ch->epoll = epoll_create1(EPOLL_CLOEXEC);
  if (ch->epoll < 0) return fail(errno);
  epoll_event ttyEvent{};
  ttyEvent.events = EPOLLIN | EPOLLET;
  ttyEvent.data.fd = ch->tty;
  epoll_event wakeEvent{};
  wakeEvent.events = EPOLLIN;
  wakeEvent.data.fd = ch->wake;
  if (epoll_ctl(ch->epoll, EPOLL_CTL_ADD, ch->tty, &ttyEvent) != 0) return fail(errno);
  if (epoll_ctl(ch->epoll, EPOLL_CTL_ADD, ch->wake, &wakeEvent) != 0) return fail(errno);

  std::lock_guard lock(mutex_);
  channel_ = std::move(ch);
  return 0;
}

int PortBackend::AbortIo() {
  if (const auto ch = Channel()) WakeChannel(*ch);
  return 0;
}

void PortBackend::Close() {
  const std::shared_ptr<PortChannel> ch = TakeChannel();
  if (!ch) return;
  WakeChannel(*ch);
  Release(*ch);
  // The descriptors close with the last holder of the channel: normally
  // here, or when a late event thread lets go of it.
}

int PortBackend::Apply(const LineSettings& line) {
  const auto ch = Channel();
  if (!ch) return EBADF;
  const int e = ApplyLine(ch->tty, ch->found, line);
  if (e == 0) SetLineRate(*ch, line);
  return e;
}

IoResult PortBackend::Write(const void* buffer, int count, const PortTimeouts& timeouts) {
  const auto ch = Channel();
  if (!ch) return {0, EBADF};
  if (count < 0 || (buffer == nullptr && count > 0)) return {0, EINVAL};
  if (Woken(*ch)) return {0, kAborted};
  const WriteDeadline deadline(timeouts.writeTotalMultiplier, timeouts.writeTotalConstant, count, SteadyClock::now());
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  int done = 0;
  bool hungUp = false;
  while (done < count) {
    const ssize_t n = ::write(ch->tty, bytes + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return {done, errno};
    // No room now. A hung-up line polls as writable for ever.
    if (hungUp) return {done, EIO};
    const int64_t wait = deadline.Wait(SteadyClock::now());
    if (wait == 0) break;  // timed out: fewer bytes than asked
    short events = 0;
    if (int e = WaitOnTty(*ch, POLLOUT, wait, &events)) return {done, e};
    hungUp = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
  return {WaitUntilSent(*ch, deadline, done), 0};
}

IoResult PortBackend::Read(void* buffer, int count, const PortTimeouts& timeouts) {
  const auto ch = Channel();
  if (!ch) return {0, EBADF};
  if (count < 0 || (buffer == nullptr && count > 0)) return {0, EINVAL};
  if (Woken(*ch)) return {0, kAborted};
  if (count == 0) return {0, 0};
  ReadDeadline deadline(timeouts.readInterval, timeouts.readTotalMultiplier, timeouts.readTotalConstant, count,
                        SteadyClock::now());
  auto* bytes = static_cast<unsigned char*>(buffer);
  int got = 0;
  bool hungUp = false;
  for (;;) {
    const ssize_t n = ::read(ch->tty, bytes + got, static_cast<size_t>(count - got));
    if (n > 0) {
      got += static_cast<int>(n);
      deadline.BytesArrived(SteadyClock::now());
      if (got == count) return {got, 0};
      if (SleepWhileOnTheLine(*ch, count - got, deadline, timeouts.readInterval) != 0) return {got, kAborted};
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return {got, errno};
    // Nothing to read now. With VMIN 0 an empty queue reads as 0 bytes, and
    // so does a hung-up line, which poll reports as readable for ever: only
    // the hang-up flag tells them apart.
    if (hungUp) return got > 0 ? IoResult{got, 0} : IoResult{got, EIO};
    const int64_t wait = deadline.Wait(SteadyClock::now());
    if (wait == 0) return {got, 0};
    short events = 0;
    if (int e = WaitOnTty(*ch, POLLIN, wait, &events)) return {got, e};
    hungUp = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
}

}  // namespace telvar
