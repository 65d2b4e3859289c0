#include "fakert/sockets.h"

#include <utility>

namespace fakert {

OwnedSocket::~OwnedSocket()
{
    reset();
}

OwnedSocket::OwnedSocket(OwnedSocket&& other) noexcept : socket_(std::exchange(other.socket_, kNoSocket)) {}

OwnedSocket& OwnedSocket::operator=(OwnedSocket&& other) noexcept
{
    if (this != &other) {
        reset();
        socket_ = std::exchange(other.socket_, kNoSocket);
    }
    return *this;
}

void OwnedSocket::reset()
{
    if (socket_ != kNoSocket)
        gf_closeSocket(socket_);
    socket_ = kNoSocket;
}

} // namespace fakert
