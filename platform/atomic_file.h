// SPDX-License-Identifier: GPL-2.0-or-later
// A file that appears whole or not at all: everything is written to a
// temporary file in the target's folder, which replaces the target only when
// the writer commits. A failure, a signal or a crash before that leaves
// whatever was at the target untouched.
//
// A target that exists and is no regular file (a character device, a FIFO, a
// socket) is no file to replace: it is written straight into, as a shell's
// '>' would, and Commit only closes it.
//
// One thread uses an AtomicFile at a time.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace chipbox {

class AtomicFile {
public:
    // A symbolic link as target is followed, also when it dangles: the file
    // it names is written (or created), and the link stays a link. The new
    // file keeps the permissions of the file it replaces.
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file, or opens a target that is no regular file.
    // False when that cannot be done, when the target is a folder (EISDIR),
    // or when it is a regular file the user may not write (EACCES; a file
    // without any write permission counts so for root as well); error() tells
    // why. Temporary files beside the target that writers killed on the way
    // left behind are removed first.
    bool Open();
    // False once any write has failed; later writes are ignored.
    bool Write(const void* data, std::size_t size);
    // Writes through to the disk, renames the temporary file over the target
    // and writes the folder through, so that a crash right after cannot lose
    // the file. False (and the temporary file removed) when any step failed.
    bool Commit();
    // Closes and removes the temporary file; the target stays as it was.
    void Discard();

    // The errno of the first failure, 0 while there was none.
    int error() const { return error_; }
    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temporary_; }
    // Writing straight into a target that is no regular file.
    bool direct() const { return direct_; }
    // The open file, for encoders that write and seek in it themselves; -1
    // before Open.
    int descriptor() const { return descriptor_; }

private:
    bool Fail(int error);
    bool OpenDirect(mode_t type);
    // `permissions`: those of the file the new one replaces, when there is one.
    bool CreateTemporary(std::optional<mode_t> permissions);

    std::string target_;
    std::string temporary_;
    int descriptor_ = -1;
    int error_ = 0;
    bool direct_ = false;
};

}  // namespace chipbox
