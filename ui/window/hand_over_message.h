// SPDX-License-Identifier: GPL-2.0-or-later
// The message a later start hands over to the running instance: the length
// of what follows as 4 bytes, most significant first, then the path and a
// terminating zero byte. An empty path (the length is 1) asks the running
// window to come to the front. A message that is malformed (length 0, a zero
// byte inside the path, no terminating zero, bytes after the message) or
// longer than HAND_OVER_LIMIT is refused.
#pragma once

#include <QByteArray>
#include <string>

namespace chipbox::window {

inline constexpr qint64 HAND_OVER_LIMIT = 64 * 1024;  // path and terminator, in bytes
inline constexpr int HAND_OVER_LENGTH_BYTES = 4;
inline constexpr char HAND_OVER_HANDLED = 1;
inline constexpr int HAND_OVER_READ_TIMEOUT_MS = 10000;

// The message for `path`; empty when the path is too long to be handed over.
QByteArray EncodeHandOver(const std::string& path);

// Reads one message as its bytes arrive.
class HandOverReader {
public:
    enum class Status { Incomplete, Complete, Malformed };
    Status Feed(const QByteArray& bytes);
    Status status() const { return status_; }
    // The path, once Complete.
    const std::string& path() const { return path_; }

private:
    QByteArray buffer_;
    Status status_ = Status::Incomplete;
    std::string path_;
};

}  // namespace chipbox::window
