/* Preloaded into wine by the Windows tests, never into a delivered program.
 * Wine's serial code asks the tty for its modem lines before it waits for
 * port events, and a pseudo-terminal has none: the ioctl fails, and so
 * would every WaitCommEvent. On a pty slave this answers the modem-line
 * requests as a port with every line low; everything else goes to the C
 * library untouched. */
#define _GNU_SOURCE
#include <stdarg.h>
#include <sys/ioctl.h>

#include "tests/support/ioctl_shim.h"

static int is_modem_line_request(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  const int result = real_ioctl(fd, request, argument);
  if (result == 0 || !is_modem_line_request(request) || !on_pty_slave(fd)) return result;
  if (request == TIOCMGET) *(int*)argument = 0;
  return 0;
}
