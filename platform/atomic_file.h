// SPDX-License-Identifier: GPL-2.0-or-later
// A file that appears whole or not at all: everything is written to a
// temporary file in the target's folder, which replaces the target only when
// the writer commits. A failure, a signal or a crash before that leaves
// whatever was at the target untouched.
//
// One thread uses an AtomicFile at a time.
#pragma once

#include <cstddef>
#include <string>

namespace chipbox {

class AtomicFile {
public:
    // A symbolic link as target is followed: the file it names is replaced.
    // The new file keeps the permissions of the file it replaces.
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file. False when it cannot be created, or when the
    // target is a folder; error() tells why.
    bool Open();
    // False once any write has failed; later writes are ignored.
    bool Write(const void* data, std::size_t size);
    // Writes through to the disk and renames the temporary file over the
    // target. False (and the temporary file removed) when any step failed.
    bool Commit();
    // Closes and removes the temporary file; the target stays as it was.
    void Discard();

    // The errno of the first failure, 0 while there was none.
    int error() const { return error_; }
    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temporary_; }

private:
    bool Fail(int error);

    std::string target_;
    std::string temporary_;
    int descriptor_ = -1;
    int error_ = 0;
};

}  // namespace chipbox
