#include "tools/telvar_sim/splitter.h"

namespace sim {

namespace {

// Length of a complete request with a good CRC at data, or 0.
size_t goodRequestAt(const uint8_t* data, size_t n)
{
    const int length = requestLength(data, n);
    if (length > 0 && size_t(length) <= n && crcOk(data, length))
        return length;
    return 0;
}

} // namespace

void RequestSplitter::feed(const uint8_t* data, size_t n)
{
    buffer_.insert(buffer_.end(), data, data + n);
}

Piece RequestSplitter::cut(Piece::Kind kind, size_t n)
{
    Piece piece {kind, Bytes(buffer_.begin(), buffer_.begin() + n)};
    buffer_.erase(buffer_.begin(), buffer_.begin() + n);
    return piece;
}

std::optional<Piece> RequestSplitter::take(bool silent)
{
    const size_t n = buffer_.size();
    if (n == 0)
        return std::nullopt;

    if (const size_t length = goodRequestAt(buffer_.data(), n))
        return cut(Piece::Request, length);

    // A function of unknown length ends with the silence after it.
    const int length = requestLength(buffer_.data(), n);
    if (length == kUnknownLength && silent && crcOk(buffer_.data(), n))
        return cut(Piece::Request, n);

    // The front is no good request (yet): a good request further on makes
    // everything before it junk.
    for (size_t k = 1; k + 4 <= n; ++k) {
        if (goodRequestAt(buffer_.data() + k, n - k))
            return cut(Piece::Junk, k);
    }

    if (silent || n >= kMaxBuffered)
        return cut(Piece::Junk, n);
    return std::nullopt;
}

} // namespace sim
