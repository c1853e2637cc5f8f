#include "tests/sim/raw_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

RawPort::~RawPort()
{
    close();
}

bool RawPort::open(const QString& path)
{
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    termios t {};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd_, TCSANOW, &t);
    tcflush(fd_, TCIFLUSH); // a port opened afresh holds nothing received earlier
    return true;
}

void RawPort::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool RawPort::write(const QByteArray& frame)
{
    clock_.start();
    return ::write(fd_, frame.constData(), size_t(frame.size())) == frame.size();
}

RawPort::Received RawPort::read(int firstByteMs, int quietMs)
{
    Received r;
    for (;;) {
        pollfd p {fd_, POLLIN, 0};
        if (poll(&p, 1, r.bytes.isEmpty() ? firstByteMs : quietMs) <= 0)
            break;
        char buf[512];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0)
            break;
        const qint64 at = clock_.elapsed();
        for (ssize_t i = 0; i < n; ++i) {
            r.bytes.append(buf[i]);
            r.atMs.append(at);
        }
    }
    return r;
}

qint64 RawPort::Received::longestGapMs() const
{
    qint64 longest = 0;
    for (int i = 1; i < atMs.size(); ++i)
        longest = std::max(longest, atMs[i] - atMs[i - 1]);
    return longest;
}
