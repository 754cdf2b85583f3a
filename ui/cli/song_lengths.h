// SPDX-License-Identifier: GPL-2.0-or-later
// Song lengths from a collection's song length file: an INI-like text with
// comment lines (';') and lines "MD5=LENGTH LENGTH ...", one length per
// subsong, the key being the MD5 of the whole tune file in 32 lower-case hex
// digits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace chipbox::cli {

class SongLengths {
public:
    // Reads the file; a malformed line is skipped. False when it cannot be
    // read.
    bool Load(const std::string& path);
    // The lengths of a tune's subsongs in milliseconds, or null.
    const std::vector<std::uint32_t>* Find(const std::string& md5) const;
    std::size_t size() const { return lengths_.size(); }

private:
    void ParseLine(std::string_view line);

    std::unordered_map<std::string, std::vector<std::uint32_t>> lengths_;
};

// Where the song length file is: the option's path, else the collection's
// below $HVSC_BASE (DOCUMENTS/Songlengths.md5, or C64Music/DOCUMENTS/...),
// else none.
std::optional<std::string> FindSongLengthsFile(const std::optional<std::string>& option);

// The MD5 of a whole tune file as 32 lower-case hex digits.
std::string TuneMd5(std::span<const std::uint8_t> file);

}  // namespace chipbox::cli
