// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary bytes arriving on the running instance's socket, split into
// pieces where the first byte says: the reader must end Complete with a
// path that encodes back to the bytes it took (what comes after a complete
// message is not read), or Malformed, or keep waiting while fewer bytes than
// announced have come.
#include <cstdlib>

#include "ui/window/hand_over_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace chipbox::window;
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 16;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    HandOverReader reader;
    for (std::size_t at = 0; at < length; at += piece)
        reader.Feed(QByteArray(bytes + at, static_cast<qsizetype>(std::min(piece, length - at))));
    if (reader.status() == HandOverReader::Status::Complete) {
        const QByteArray message = EncodeHandOver(reader.path());
        if (message.isEmpty() || static_cast<std::size_t>(message.size()) > length ||
            message != QByteArray(bytes, message.size()))
            std::abort();
        if (static_cast<qint64>(reader.path().size()) >= HAND_OVER_LIMIT) std::abort();
    }
    return 0;
}
