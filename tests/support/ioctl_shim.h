/* What the test programs' ioctl shims share: a shim defines ioctl itself,
 * answers the requests it plays on a pseudo-terminal's slave end, and hands
 * every other call to the C library's ioctl. Never part of a delivered
 * program. */
#pragma once

#include <dlfcn.h>
#include <linux/magic.h>
#include <sys/vfs.h>

/* Whether fd is the slave end of a pseudo-terminal. */
static inline int on_pty_slave(int fd) {
  struct statfs fs;
  return fstatfs(fd, &fs) == 0 && fs.f_type == DEVPTS_SUPER_MAGIC;
}

/* The C library's ioctl, which the shim's own hides. */
static inline int real_ioctl(int fd, unsigned long request, void* argument) {
  static int (*real)(int, unsigned long, ...);
  if (!real) real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
  return real(fd, request, argument);
}
