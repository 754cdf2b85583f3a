// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace chipbox {

namespace {

namespace fs = std::filesystem;

// Enough tries that only a folder we cannot write to, not a clash of names,
// makes creation fail.
constexpr int CREATE_ATTEMPTS = 64;
// As many links in a row as the kernel follows before it gives up (ELOOP).
constexpr int LINK_HOPS = 40;

// The file a chain of links ends at, whether or not it exists. After too
// many hops the last link is returned; opening it then fails with ELOOP.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < LINK_HOPS; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error) return path;
        path = next.is_absolute() ? next.string() : (fs::path(path).parent_path() / next).string();
    }
    return path;
}

std::string FolderOf(const std::string& target) {
    const fs::path folder = fs::path(target).parent_path();
    return folder.empty() ? "." : folder.string();
}

std::string TemporaryPrefix(const std::string& target) {
    std::string prefix(1, '.');
    prefix.append(fs::path(target).filename().string()).append(".tmp-");
    return prefix;
}

// ".NAME.tmp-PID-RANDOM" beside the target, hidden from a plain listing.
std::string TemporaryName(const std::string& target, unsigned random) {
    std::string hidden = TemporaryPrefix(target);
    hidden.append(std::to_string(getpid())).append("-").append(std::to_string(random));
    return (fs::path(FolderOf(target)) / hidden).string();
}

// The writer's process id in "PID-RANDOM", or 0 when the rest is not so.
pid_t WriterOf(std::string_view rest) {
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) return 0;
    for (std::size_t i = 0; i < rest.size(); ++i)
        if (i != dash && (rest[i] < '0' || rest[i] > '9')) return 0;
    if (dash > 9) return 0;  // no process id has ten digits
    return static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
}

bool IsDead(pid_t process) { return process > 0 && kill(process, 0) != 0 && errno == ESRCH; }

// The hidden temporaries of dead writers in each folder, read once per folder
// and run: a render of a whole collection into one folder reads it once, not
// once per song.
class StaleTemporaries {
public:
    void RemoveFor(const std::string& target) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::string folder = FolderOf(target);
        auto [found, fresh] = byFolder_.try_emplace(folder);
        if (fresh) found->second = Scan(folder);
        const std::string prefix = TemporaryPrefix(target);
        std::vector<std::string>& names = found->second;
        std::erase_if(names, [&](const std::string& name) {
            if (!name.starts_with(prefix) || !IsDead(WriterOf(name.substr(prefix.size()))))
                return false;
            unlink((fs::path(folder) / name).c_str());
            return true;
        });
    }

private:
    static std::vector<std::string> Scan(const std::string& folder) {
        std::vector<std::string> names;
        DIR* listing = opendir(folder.c_str());
        if (!listing) return names;
        while (const dirent* entry = readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name.starts_with(".") && name.find(".tmp-") != std::string_view::npos)
                names.emplace_back(name);
        }
        closedir(listing);
        return names;
    }

    std::mutex mutex_;
    std::unordered_map<std::string, std::vector<std::string>> byFolder_;
};

StaleTemporaries& Stale() {
    static StaleTemporaries stale;
    return stale;
}

// Written only by its owner's write bits or by nobody's: root may write any
// file, but one that nobody may write was made read-only on purpose.
int WriteRefusal(const std::string& target, const struct stat& status) {
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
    return (status.st_mode & 0222) == 0 ? EACCES : 0;
}

int ConnectToSocket(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int descriptor = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return -1;
    if (connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return descriptor;
    const int error = errno;
    close(descriptor);
    errno = error;
    return -1;
}

void WriteFolderThrough(const std::string& target) {
    const int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    fsync(folder);
    close(folder);
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(FollowLinks(std::move(target))) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(int error) {
    if (error_ == 0) error_ = error;
    return false;
}

bool AtomicFile::Open() {
    struct stat status {};
    if (lstat(target_.c_str(), &status) != 0) {
        if (errno != ENOENT) return Fail(errno);
        return CreateTemporary(std::nullopt);
    }
    if (S_ISLNK(status.st_mode)) return Fail(ELOOP);  // links beyond the hops we follow
    if (S_ISDIR(status.st_mode)) return Fail(EISDIR);
    if (!S_ISREG(status.st_mode)) return OpenDirect(status.st_mode & S_IFMT);
    if (const int refusal = WriteRefusal(target_, status)) return Fail(refusal);
    return CreateTemporary(status.st_mode & 0777);
}

bool AtomicFile::OpenDirect(mode_t type) {
    direct_ = true;
    descriptor_ = type == S_IFSOCK ? ConnectToSocket(target_)
                                   : open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return descriptor_ >= 0 || Fail(errno);
}

bool AtomicFile::CreateTemporary(std::optional<mode_t> permissions) {
    Stale().RemoveFor(target_);
    std::random_device seed;
    std::minstd_rand random(seed());
    for (int attempt = 0; attempt < CREATE_ATTEMPTS; ++attempt) {
        temporary_ = TemporaryName(target_, static_cast<unsigned>(random()));
        descriptor_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor_ >= 0) {
            // A file the user made private stays private when it is replaced.
            if (permissions) fchmod(descriptor_, *permissions);
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
    if (!direct_ && error_ == 0 && fsync(descriptor_) != 0) Fail(errno);
    if (close(descriptor_) != 0) Fail(errno);
    descriptor_ = -1;
    if (direct_) return error_ == 0;
    if (error_ == 0 && std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
    if (error_ != 0) {
        Discard();
        return false;
    }
    temporary_.clear();
    WriteFolderThrough(target_);
    return true;
}

void AtomicFile::Discard() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace chipbox
