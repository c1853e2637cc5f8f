#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace telvar::test {

bool ReadTtyRates(int fd, unsigned* output, unsigned* input) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  *output = t.c_ospeed;
  *input = t.c_ispeed;
  return true;
}

}  // namespace telvar::test
