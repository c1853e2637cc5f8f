#include "tools/telvar_sim/reply_builder.h"

#include <fcntl.h>
#include <unistd.h>

namespace sim {

ReplyBuilder::ReplyBuilder()
{
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    // The device name is never opened: the context only writes to the pipe.
    ctx_ = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    if (ctx_)
        modbus_set_socket(ctx_, pipe_[1]);
}

ReplyBuilder::~ReplyBuilder()
{
    if (ctx_)
        modbus_free(ctx_);
    for (int fd : pipe_) {
        if (fd >= 0)
            close(fd);
    }
}

Bytes ReplyBuilder::drain()
{
    Bytes out;
    uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const ssize_t n = read(pipe_[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        out.insert(out.end(), chunk, chunk + n);
    }
    return out;
}

Bytes ReplyBuilder::reply(const Bytes& request, modbus_mapping_t* mapping)
{
    if (modbus_reply(ctx_, request.data(), int(request.size()), mapping) < 0) {
        drain();
        return {};
    }
    Bytes out = drain();
    if (request[0] == 0)
        out.clear(); // a broadcast is carried out, never answered
    return out;
}

Bytes ReplyBuilder::exception(const Bytes& request, int code)
{
    if (modbus_reply_exception(ctx_, request.data(), unsigned(code)) >= 0)
        return drain();
    drain();
    // libmodbus knows only the standard codes; a device may send any.
    Bytes out {request[0], uint8_t(request[1] | 0x80), uint8_t(code)};
    appendCrc(out);
    return out;
}

} // namespace sim
