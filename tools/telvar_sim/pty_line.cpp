#include "tools/telvar_sim/pty_line.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace

PtyLine::~PtyLine()
{
    if (!link_.empty())
        unlink(link_.c_str());
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
}

std::string PtyLine::open(const std::string& linkPath)
{
    char slaveName[256] = {};
    termios raw {};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (openpty(&master_, &slave_, slaveName, &raw, nullptr) != 0)
        return systemError("openpty");
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    std::error_code ec;
    const std::filesystem::path link(linkPath);
    if (link.has_parent_path())
        std::filesystem::create_directories(link.parent_path(), ec);
    struct stat st { };
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return linkPath + " exists and is not a symbolic link";
        unlink(linkPath.c_str());
    }
    if (symlink(slaveName, linkPath.c_str()) != 0)
        return systemError("symlink " + linkPath);
    link_ = linkPath;
    return {};
}

void PtyLine::waitUntilRead(int maxMs)
{
    // The pty tells no one when its input queue empties: look every 2 ms.
    constexpr int kStepMs = 2;
    int unread = 0;
    for (int waited = 0; waited < maxMs; waited += kStepMs) {
        if (ioctl(slave_, FIONREAD, &unread) != 0 || unread == 0)
            return;
        usleep(kStepMs * 1000);
    }
}

void PtyLine::dropUnread()
{
    tcflush(slave_, TCIFLUSH);
}

} // namespace sim
