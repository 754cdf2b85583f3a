// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tune_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace chipbox {

namespace {

constexpr std::size_t DATA_OFFSET_POSITION = 7;
constexpr std::size_t LARGEST_DATA_OFFSET = 0xFF;
// One byte more than any tune, to tell a file that is too long.
constexpr std::size_t READ_LIMIT = LARGEST_DATA_OFFSET + LONGEST_TUNE_DATA + 1;

class Descriptor {
public:
    explicit Descriptor(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Reads until end of file or `limit` bytes; false with errno on a failure.
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

bool StartsWith(const std::vector<std::uint8_t>& bytes, const char (&magic)[5]) {
    return bytes.size() >= 4 && std::equal(magic, magic + 4, bytes.begin());
}

}  // namespace

TuneFileProblem CheckTuneContents(const std::vector<std::uint8_t>& bytes) {
    if (StartsWith(bytes, "RSID")) return TuneFileProblem::Rsid;
    if (!StartsWith(bytes, "PSID")) return TuneFileProblem::NotPsid;
    const std::size_t dataOffset =
        bytes.size() > DATA_OFFSET_POSITION ? bytes[DATA_OFFSET_POSITION] : LARGEST_DATA_OFFSET;
    if (bytes.size() > dataOffset + LONGEST_TUNE_DATA) return TuneFileProblem::TooLarge;
    return TuneFileProblem::None;
}

TuneFile ReadTuneFile(const std::string& path) {
    TuneFile file;
    const Descriptor descriptor(path);
    struct stat status {};
    if (descriptor.fd() < 0 || fstat(descriptor.fd(), &status) != 0) {
        file.problem = TuneFileProblem::CannotOpen;
        file.error = errno;
        return file;
    }
    if (S_ISDIR(status.st_mode)) {
        file.problem = TuneFileProblem::IsDirectory;
        return file;
    }
    if (!ReadUpTo(descriptor.fd(), READ_LIMIT, file.bytes)) {
        file.problem = TuneFileProblem::CannotOpen;
        file.error = errno;
        file.bytes.clear();
        return file;
    }
    file.problem = CheckTuneContents(file.bytes);
    if (file.problem != TuneFileProblem::None) file.bytes.clear();
    return file;
}

}  // namespace chipbox
