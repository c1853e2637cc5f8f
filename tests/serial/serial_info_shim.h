/* A serial driver's TIOCGSERIAL and TIOCSSERIAL on the pseudo-terminals of
 * one test program: linked into it, its ioctl comes before the C library's.
 * Disarmed, every request goes to the C library and is only recorded. */
#pragma once

#include <linux/serial.h>

#ifdef __cplusplus
extern "C" {
#endif

struct SerialInfoCall {
  unsigned long request;     /* TIOCGSERIAL or TIOCSSERIAL */
  struct serial_struct info; /* what was read or asked to be set */
  int result;                /* 0, or the errno */
};

enum { kMaxSerialInfoCalls = 16 };

struct SerialInfoShim {
  int armed;                   /* answer the requests on a pty slave as a driver */
  struct serial_struct driver; /* the armed driver's setting */
  int refuseSetWith;           /* errno the armed driver refuses TIOCSSERIAL with; 0 grants */
  int count;
  struct SerialInfoCall calls[kMaxSerialInfoCalls];
};

/* Disarmed, nothing recorded. */
void ResetSerialInfoShim(void);
struct SerialInfoShim* SerialInfo(void);

#ifdef __cplusplus
}
#endif
