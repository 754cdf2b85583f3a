// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace chipbox {

namespace {

// Enough tries that only a folder we cannot write to, not a clash of names,
// makes creation fail.
constexpr int CREATE_ATTEMPTS = 64;

std::string FollowLinks(const std::string& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) return target;
    const std::filesystem::path real = std::filesystem::weakly_canonical(target, error);
    return error ? target : real.string();
}

// ".NAME.tmp-PID-RANDOM" beside the target, hidden from a plain listing.
std::string TemporaryName(const std::string& target, unsigned random) {
    const std::filesystem::path path(target);
    std::string hidden(1, '.');
    hidden.append(path.filename().string())
        .append(".tmp-")
        .append(std::to_string(getpid()))
        .append("-")
        .append(std::to_string(random));
    return (path.parent_path() / hidden).string();
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(FollowLinks(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(int error) {
    if (error_ == 0) error_ = error;
    return false;
}

bool AtomicFile::Open() {
    struct stat status {};
    const bool targetExists = stat(target_.c_str(), &status) == 0;
    if (targetExists && S_ISDIR(status.st_mode)) return Fail(EISDIR);
    std::random_device seed;
    std::minstd_rand random(seed());
    for (int attempt = 0; attempt < CREATE_ATTEMPTS; ++attempt) {
        temporary_ = TemporaryName(target_, static_cast<unsigned>(random()));
        descriptor_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor_ >= 0) {
            // A file the user made private stays private when it is replaced.
            if (targetExists) fchmod(descriptor_, status.st_mode & 0777);
            return true;
        }
        if (errno != EEXIST) break;
    }
    const int error = errno;
    temporary_.clear();
    return Fail(error);
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (descriptor_ < 0 || error_ != 0) return false;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(descriptor_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Fail(errno);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (descriptor_ < 0) return Fail(EBADF);
    if (error_ == 0 && fsync(descriptor_) != 0) Fail(errno);
    if (close(descriptor_) != 0) Fail(errno);
    descriptor_ = -1;
    if (error_ == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
    if (error_ != 0) {
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void AtomicFile::Discard() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace chipbox
