// SPDX-License-Identifier: GPL-2.0-or-later
// Song lengths from a collection's song length file: an INI-like text with
// comment lines (';') and lines "MD5=LENGTH LENGTH ...", one length per
// subsong, the key being the MD5 of the whole tune file in 32 lower-case hex
// digits. The window's playlist and chipbox-cli read them alike.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace chipbox {

// Three minutes: how long a song without a known length plays in a playlist.
constexpr std::uint32_t DEFAULT_SONG_MILLIS = 180'000;

class SongLengths {
public:
    // Reads the file; a malformed line is skipped. False when it cannot be
    // read.
    bool Load(const std::string& path);
    // The same for the file's text; lines add to those read before.
    void Parse(std::string_view text);
    // The lengths of a tune's subsongs in milliseconds, or null.
    const std::vector<std::uint32_t>* Find(const std::string& md5) const;
    std::size_t size() const { return lengths_.size(); }

private:
    void ParseLine(std::string_view line);

    std::unordered_map<std::string, std::vector<std::uint32_t>> lengths_;
};

// The song length file's place within the collection.
inline constexpr const char* SONG_LENGTHS_DOCUMENT = "Songlengths.md5";

// Where the song length file for `tunePath` is: the path chosen, else the
// collection's below $HVSC_BASE, else the one of the collection the tune
// lies in (see collection.h); none when there is no such file.
std::optional<std::string> FindSongLengthsFile(const std::optional<std::string>& chosen,
                                               const std::string& tunePath);

// The MD5 of a whole tune file as 32 lower-case hex digits.
std::string TuneMd5(std::span<const std::uint8_t> file);

// "m:ss" or "m:ss.mmm" in milliseconds; what follows in parentheses (a
// letter that song length lists append) is ignored.
std::optional<std::uint32_t> ParseSongLength(const std::string& text);

// "m:ss", or "m:ss.mmm" when there are milliseconds.
std::string SongLengthText(std::uint32_t millis);

}  // namespace chipbox
