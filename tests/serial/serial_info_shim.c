/* Linked into the low-latency tests only, never into a delivered program. */
#define _GNU_SOURCE
#include "serial_info_shim.h"

#include <errno.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>

#include "tests/support/ioctl_shim.h"

static struct SerialInfoShim shim;

void ResetSerialInfoShim(void) { memset(&shim, 0, sizeof shim); }

struct SerialInfoShim* SerialInfo(void) {
  return &shim;
}

/* The armed driver: reads give its setting, a granted set replaces it. */
static int answer(unsigned long request, struct serial_struct* info) {
  if (request == TIOCGSERIAL) {
    *info = shim.driver;
    return 0;
  }
  if (shim.refuseSetWith != 0) {
    errno = shim.refuseSetWith;
    return -1;
  }
  shim.driver = *info;
  return 0;
}

static void record(unsigned long request, const struct serial_struct* info, int result) {
  if (shim.count == kMaxSerialInfoCalls) return;
  struct SerialInfoCall* call = &shim.calls[shim.count++];
  call->request = request;
  call->info = *info;
  call->result = result;
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (request != TIOCGSERIAL && request != TIOCSSERIAL) return real_ioctl(fd, request, argument);

  struct serial_struct* info = argument;
  const int result = shim.armed && on_pty_slave(fd) ? answer(request, info) : real_ioctl(fd, request, argument);
  const int error = result == 0 ? 0 : errno;
  record(request, info, error);
  errno = error;
  return result;
}
