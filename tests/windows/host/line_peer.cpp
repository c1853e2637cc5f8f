// The device end of a pseudo-terminal for the Windows tests under wine: it
// makes a pty pair, links the slave where wine looks for a COM port
// ($WINEPREFIX/dosdevices/com5) and then does what the test program writes
// to it, one command a line:
//
//   send N GAP   sends N bytes of a running alphabet, GAP ms between two
//   elapsed      answers the ms from the last byte sent to the arrival of
//                this command, as "152.3\n": the test writes it the moment a
//                read ends, so it measures the read's end on one clock
//   quiet MS     reads nothing for MS ms (the line's queue fills up)
//   line         answers the slave's line settings: "9600 8N1 rtscts=0 ixon=0 ixoff=0\n"
//   ping         answers "pong\n"
//   hangup       closes the pty, as an adapter that was pulled out, and
//                links a new one in its place for the next opening
//
// Anything else, such as the bytes of a write that timed out, is read and
// dropped. Prints "ready" once the link is in place; ends on SIGTERM.
//
//   wine_line_peer LINK
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopping = 0;
void Stop(int) { stopping = 1; }

// A command line longer than this is no command.
constexpr size_t kMaxCommand = 64;

struct Peer {
  int master = -1;
  int slave = -1;  // held open, so that the master never reads a hang-up between two openings
  char next = 'a';
  Clock::time_point lastSent{};

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
      if (n > 0)
        done += size_t(n);
      else if (n < 0 && errno != EINTR && errno != EAGAIN)
        return;
    }
  }

  // Without a gap the bytes go in one write, so that they arrive together.
  void Send(int count, int gapMs) {
    std::string bytes;
    for (int i = 0; i < count; ++i) {
      bytes += next;
      next = next == 'z' ? 'a' : char(next + 1);
    }
    if (gapMs == 0) {
      Write(bytes);
    } else {
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        Write(bytes.substr(i, 1));
      }
    }
    lastSent = Clock::now();
  }

  std::string LineSettings() const {
    termios t{};
    if (tcgetattr(slave, &t) != 0) return "unknown\n";
    int baud = 0;
    switch (cfgetospeed(&t)) {
      case B1200: baud = 1200; break;
      case B2400: baud = 2400; break;
      case B4800: baud = 4800; break;
      case B9600: baud = 9600; break;
      case B19200: baud = 19200; break;
      case B38400: baud = 38400; break;
      case B57600: baud = 57600; break;
      case B115200: baud = 115200; break;
      default: baud = -1; break;
    }
    int bits = 8;
    switch (t.c_cflag & CSIZE) {
      case CS5: bits = 5; break;
      case CS6: bits = 6; break;
      case CS7: bits = 7; break;
      default: break;
    }
    const char parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    char text[96];
    std::snprintf(text, sizeof text, "%d %d%c%d rtscts=%d ixon=%d ixoff=%d\n", baud, bits, parity,
                  (t.c_cflag & CSTOPB) ? 2 : 1, (t.c_cflag & CRTSCTS) ? 1 : 0, (t.c_iflag & IXON) ? 1 : 0,
                  (t.c_iflag & IXOFF) ? 1 : 0);
    return text;
  }

  void Command(const std::string& line, Clock::time_point arrived) {
    int a = 0, b = 0;
    if (std::sscanf(line.c_str(), "send %d %d", &a, &b) == 2 && a >= 0 && a <= 4096 && b >= 0) {
      Send(a, b);
    } else if (line == "elapsed") {
      const double ms = std::chrono::duration<double, std::milli>(arrived - lastSent).count();
      char text[32];
      std::snprintf(text, sizeof text, "%.1f\n", ms);
      Write(text);
    } else if (std::sscanf(line.c_str(), "quiet %d", &a) == 1 && a >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(a));
    } else if (line == "line") {
      Write(LineSettings());
    } else if (line == "ping") {
      Write("pong\n");
    } else if (line == "hangup") {
      hangUp = true;
    }
  }

  bool hangUp = false;  // asked for: done by the loop, which owns the descriptors
};

int OpenPair(Peer& peer, const char* link) {
  for (int fd : {peer.master, peer.slave})
    if (fd >= 0) ::close(fd);
  peer.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (peer.master < 0 || grantpt(peer.master) != 0 || unlockpt(peer.master) != 0) return errno;
  const char* name = ptsname(peer.master);
  if (!name) return errno;
  peer.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (peer.slave < 0) return errno;
  termios t{};
  if (tcgetattr(peer.slave, &t) != 0) return errno;
  cfmakeraw(&t);
  if (tcsetattr(peer.slave, TCSANOW, &t) != 0) return errno;
  ::unlink(link);
  if (::symlink(name, link) != 0) return errno;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wine_line_peer LINK\n");
    return 2;
  }
  signal(SIGTERM, Stop);
  signal(SIGINT, Stop);
  Peer peer;
  if (const int e = OpenPair(peer, argv[1])) {
    std::fprintf(stderr, "wine_line_peer: %s: %s\n", argv[1], std::strerror(e));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);

  std::string line;
  bool dropping = false;  // inside a line too long to be a command
  while (!stopping) {
    pollfd p{peer.master, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char bytes[4096];
    const ssize_t n = ::read(peer.master, bytes, sizeof bytes);
    const Clock::time_point arrived = Clock::now();
    if (n <= 0) continue;
    for (ssize_t i = 0; i < n; ++i) {
      const char c = bytes[i];
      if (c == '\n') {
        if (!dropping) peer.Command(line, arrived);
        line.clear();
        dropping = false;
        if (peer.hangUp) break;
      } else if (!dropping) {
        line += c;
        if (line.size() > kMaxCommand) {
          line.clear();
          dropping = true;
        }
      }
    }
    if (peer.hangUp) {
      peer.hangUp = false;
      line.clear();
      if (const int e = OpenPair(peer, argv[1])) {
        std::fprintf(stderr, "wine_line_peer: %s: %s\n", argv[1], std::strerror(e));
        return 1;
      }
    }
  }
  ::unlink(argv[1]);
  return 0;
}
