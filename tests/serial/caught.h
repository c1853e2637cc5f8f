// Runs f and returns the EComPort it throws; ComErrorCode 0 when none.
#pragma once

#include "serial/com_port.h"

namespace telvar::test {

template <class F>
EComPort Caught(F&& f) {
  try {
    f();
  } catch (const EComPort& e) {
    return e;
  }
  return EComPort(0, -1);
}

}  // namespace telvar::test
