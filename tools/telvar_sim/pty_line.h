// The serial line as a pseudo-terminal pair. The simulator holds the master
// and also keeps a descriptor of the slave open, so that a program that
// closes and reopens the port between transactions never hangs the line up.
// The programs open the slave through a symbolic link.
#pragma once

#include <string>

namespace sim {

class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Creates the pair in raw mode and the link to its slave. Returns an
    // error text, empty on success.
    std::string open(const std::string& linkPath);

    int master() const { return master_; }

    // Drops what the device sent earlier and nobody read: on a real line
    // those bytes are gone once the master stops listening.
    void dropUnread();

    // Waits until the far end has read what was sent, at most maxMs. A line
    // that goes away takes its unread bytes with it; the fault that unplugs
    // the line after N bytes means N bytes that arrived.
    void waitUntilRead(int maxMs);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string link_;
};

} // namespace sim
