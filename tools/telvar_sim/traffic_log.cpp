#include "tools/telvar_sim/traffic_log.h"

#include <cerrno>
#include <cstring>

namespace sim {

std::string hexText(const Bytes& bytes)
{
    if (bytes.empty())
        return "-";
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

TrafficLog::~TrafficLog()
{
    if (owned_)
        std::fclose(file_);
}

std::string TrafficLog::open(const std::string& path)
{
    if (path == "-") {
        file_ = stderr;
        return {};
    }
    file_ = std::fopen(path.c_str(), "we");
    if (!file_)
        return "cannot write log " + path + ": " + std::strerror(errno);
    owned_ = true;
    return {};
}

void TrafficLog::line(
    double seconds, const Bytes& request, const Bytes& reply, const std::string& outcome)
{
    if (!file_)
        return;
    std::fprintf(file_, "%.3f\t%s\t%s\t%s\n", seconds, hexText(request).c_str(),
        hexText(reply).c_str(), outcome.c_str());
    std::fflush(file_);
}

} // namespace sim
