#include "platform/net_socket.h"

#include <utility>

namespace net {

GuardedSocket::Lease::Lease(Lease&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), fd_(std::exchange(other.fd_, kInvalidSocket))
{
}

GuardedSocket::Lease& GuardedSocket::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        release();
        owner_ = std::exchange(other.owner_, nullptr);
        fd_ = std::exchange(other.fd_, kInvalidSocket);
    }
    return *this;
}

GuardedSocket::Lease::~Lease()
{
    release();
}

void GuardedSocket::Lease::release()
{
    if (owner_ != nullptr)
        owner_->giveBack();
    owner_ = nullptr;
    fd_ = kInvalidSocket;
}

GuardedSocket::~GuardedSocket()
{
    std::lock_guard lock(mutex_);
    closing_ = true;
    gf_closeDescriptor(fd_);
    fd_ = kInvalidSocket;
}

bool GuardedSocket::adopt(int fd)
{
    std::lock_guard lock(mutex_);
    if (fd_ != kInvalidSocket && users_ > 0) {
        // The previous descriptor is still lent out: it stays, the new one goes.
        gf_closeDescriptor(fd);
        return false;
    }
    if (fd_ != kInvalidSocket)
        closeLocked();
    fd_ = fd;
    users_ = 0;
    closing_ = false;
    return true;
}

GuardedSocket::Lease GuardedSocket::lease()
{
    std::lock_guard lock(mutex_);
    if (fd_ == kInvalidSocket || closing_)
        return {};
    ++users_;
    return Lease(this, fd_);
}

void GuardedSocket::close()
{
    std::lock_guard lock(mutex_);
    if (fd_ == kInvalidSocket || closing_)
        return;
    closing_ = true;
    gf_wakeBlockedCalls(fd_, true);
    if (users_ == 0)
        closeLocked();
}

void GuardedSocket::shutDown(bool sendsToo)
{
    std::lock_guard lock(mutex_);
    if (fd_ != kInvalidSocket && !closing_)
        gf_wakeBlockedCalls(fd_, sendsToo);
}

bool GuardedSocket::isOpen() const
{
    std::lock_guard lock(mutex_);
    return fd_ != kInvalidSocket && !closing_;
}

void GuardedSocket::giveBack()
{
    std::lock_guard lock(mutex_);
    if (--users_ == 0 && closing_)
        closeLocked();
}

void GuardedSocket::closeLocked()
{
    gf_closeDescriptor(fd_);
    fd_ = kInvalidSocket;
    users_ = 0;
    closing_ = false;
}

} // namespace net
