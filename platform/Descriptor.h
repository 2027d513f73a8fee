#pragma once

#include <unistd.h>
#include <utility>

namespace platform {

// An owned file descriptor, closed when it goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes now; false when close reported an error (a write that failed late).
    bool close() { return reset(); }
    bool reset(int fd = -1)
    {
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = fd;
        return ok;
    }

private:
    int fd_ = -1;
};

} // namespace platform
