#include "posix_line_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace telvar {

int SetArbitraryLineRate(int fd, unsigned rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ospeed = rate;
  t.c_ispeed = rate;
  if (ioctl(fd, TCSETS2, &t) != 0) return errno;
  return 0;
}

}  // namespace telvar
