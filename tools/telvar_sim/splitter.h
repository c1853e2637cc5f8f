// Cuts the byte stream from the line into requests. A pty has no timing, so a
// request ends by its length; a run of bytes that forms no request with a good
// CRC is handed out as junk, either when a good request follows it or when the
// line has been silent for a moment.
#pragma once

#include "tools/telvar_sim/frame.h"

#include <optional>

namespace sim {

struct Piece {
    enum Kind { Request, Junk } kind;
    Bytes bytes;
};

class RequestSplitter {
public:
    // Beyond this many buffered bytes without a request, all of them are junk.
    static constexpr size_t kMaxBuffered = 512;

    void feed(const uint8_t* data, size_t n);
    bool pending() const { return !buffer_.empty(); }

    // The next request or run of junk at the front of the buffer, if one is
    // complete. `silent`: the line has been quiet, so no more bytes belong to
    // what is buffered.
    std::optional<Piece> take(bool silent);

private:
    Piece cut(Piece::Kind kind, size_t n);

    Bytes buffer_;
};

} // namespace sim
