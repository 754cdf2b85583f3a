// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/hand_over_message.h"

namespace chipbox::window {

QByteArray EncodeHandOver(const std::string& path) {
    const auto length = static_cast<qint64>(path.size()) + 1;
    if (length > HAND_OVER_LIMIT || path.find('\0') != std::string::npos) return {};
    QByteArray message;
    for (int shift = 24; shift >= 0; shift -= 8)
        message.append(static_cast<char>((length >> shift) & 0xFF));
    message.append(path.data(), static_cast<qsizetype>(path.size()));
    message.append('\0');
    return message;
}

HandOverReader::Status HandOverReader::Feed(const QByteArray& bytes) {
    if (status_ != Status::Incomplete) return status_;
    buffer_.append(bytes);
    if (buffer_.size() < HAND_OVER_LENGTH_BYTES) return status_;
    qint64 length = 0;
    for (int i = 0; i < HAND_OVER_LENGTH_BYTES; ++i)
        length = (length << 8) | static_cast<unsigned char>(buffer_[i]);
    if (length == 0 || length > HAND_OVER_LIMIT) return status_ = Status::Malformed;
    const qint64 total = HAND_OVER_LENGTH_BYTES + length;
    if (buffer_.size() < total) return status_;
    if (buffer_.size() > total) return status_ = Status::Malformed;  // one message per start
    const QByteArray body = buffer_.mid(HAND_OVER_LENGTH_BYTES);
    if (body.indexOf('\0') != body.size() - 1) return status_ = Status::Malformed;
    path_.assign(body.constData(), static_cast<std::size_t>(body.size() - 1));
    buffer_.clear();
    return status_ = Status::Complete;
}

}  // namespace chipbox::window
