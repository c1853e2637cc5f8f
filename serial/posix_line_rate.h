// Rates without a Bxxx constant (14400, 56000, 128000, 256000) are set with
// the kernel's termios2 interface. Its header clashes with <termios.h>, so
// these two calls live in a file of their own.
#pragma once

namespace telvar {

// Sets the input and output rate of the tty to rate baud; 0 or the errno.
int SetArbitraryLineRate(int fd, unsigned rate);

}  // namespace telvar
