// Builds reply frames with libmodbus's server core. libmodbus sends a reply
// to a file descriptor; the builder gives it one end of a pipe and takes the
// frame back from the other, so that the line (pacing, faults, log) stays
// ours.
#pragma once

#include "tools/telvar_sim/frame.h"

#include <modbus/modbus.h>

namespace sim {

class ReplyBuilder {
public:
    ReplyBuilder();
    ~ReplyBuilder();
    ReplyBuilder(const ReplyBuilder&) = delete;
    ReplyBuilder& operator=(const ReplyBuilder&) = delete;

    bool ok() const { return ctx_ != nullptr; }

    // Serves a request (CRC included) on the registers of the mapping: reads
    // and writes them and returns the reply, or nothing for a broadcast.
    Bytes reply(const Bytes& request, modbus_mapping_t* mapping);

    // The exception reply to the request.
    Bytes exception(const Bytes& request, int code);

private:
    Bytes drain();

    modbus_t* ctx_ = nullptr;
    int pipe_[2] = {-1, -1};
};

} // namespace sim
