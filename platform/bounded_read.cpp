// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/bounded_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace chipbox {

namespace {

class Descriptor {
public:
    Descriptor(const std::string& path, int flags) : fd_(open(path.c_str(), flags)) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// False with errno on a failure.
bool ReadUpTo(int fd, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    bytes.resize(limit);
    std::size_t filled = 0;
    while (filled < limit) {
        const ssize_t got = read(fd, bytes.data() + filled, limit - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

BoundedRead Failed(int error) {
    BoundedRead read;
    read.error = error;
    return read;
}

}  // namespace

BoundedRead ReadBoundedFile(const std::string& path, std::size_t limit, FileKinds kinds) {
    // Without O_NONBLOCK, opening a FIFO waits for its writer.
    const int nonBlocking = kinds == FileKinds::RegularOnly ? O_NONBLOCK : 0;
    const Descriptor descriptor(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | nonBlocking);
    struct stat status {};
    if (descriptor.fd() < 0 || fstat(descriptor.fd(), &status) != 0) return Failed(errno);
    BoundedRead result;
    if (S_ISDIR(status.st_mode)) {
        result.isDirectory = true;
        return result;
    }
    if (kinds == FileKinds::RegularOnly && !S_ISREG(status.st_mode)) {
        result.notRegular = true;
        return result;
    }
    if (!ReadUpTo(descriptor.fd(), limit, result.bytes)) return Failed(errno);
    return result;
}

}  // namespace chipbox
