// SPDX-License-Identifier: GPL-2.0-or-later
// The INI file in which the interface keeps its values between runs.
//
// The store reads the file once, answers reads and collects writes in memory,
// and Save() replaces the file whole, so a crash or a full disk never leaves
// half a file behind.
//
// The format: a line "[Section]" starts a section; a line "key=value" inside
// it holds a value. Section and key names match ignoring ASCII letter case,
// and blanks around a name and after its '=' are not part of it. A value is
// the rest of its line: blanks at its end stay part of it, so a path ending in
// a blank survives, but blanks at its start are lost. Only the first section
// of a name counts, and in it the first key of a name. Everything else (";"
// and "#" comments, blank lines, other sections and keys, text that is no
// section or key) is written back byte for byte, line ends included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace chipbox {

// No more of a settings file is read. A settings file is a few hundred bytes,
// but one the user keeps other sections in may grow large; a file past this
// is read up to it and never replaced, so nothing of it is lost.
inline constexpr std::size_t PROFILE_READ_LIMIT = std::size_t{16} << 20;

class CProfileStore {
public:
    // Reads the file at `path` (see Load).
    explicit CProfileStore(std::string path);

    // Reads the file again; unsaved writes are dropped. False when there is
    // no regular file to read (missing, a folder, a FIFO, a device, no read
    // permission): the store is then empty and every read gives its default.
    // At most PROFILE_READ_LIMIT bytes are read, whole lines only, and
    // nothing ever waits for a writer. A longer file is read so far and
    // marked tooLarge(): Save will not replace it.
    bool Load();

    // The stored decimal integer, blanks around it allowed; `defaultValue`
    // when the key is missing or its value is no decimal int ("12abc", "",
    // "1.5", out of range).
    int ReadInt(std::string_view section, std::string_view key, int defaultValue) const;
    // The stored text, or `defaultValue` when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue = "") const;

    // Sets a value in memory: an existing key has its value replaced on its
    // own line; a new key goes after the last key of its section (so before
    // blank lines and comments that lead to the next section); a new section
    // goes to the end of the file, after a blank line. False, and nothing
    // changed, when the names or the text cannot be stored on one line: an
    // empty name or one with blanks at its ends, a line break, a ']' in a
    // section name, a '=' in a key name or a key starting with '[', ';', '#'.
    bool WriteInt(std::string_view section, std::string_view key, int value);  // as "%d"
    bool WriteString(std::string_view section, std::string_view key, std::string_view text);

    // Writes the whole file, creating its folder (and parents) when missing.
    // A symbolic link stays a link and the file it names gets the content.
    // False when the file could not be written; the old file is then as it
    // was. Also false, without trying, when Load found something there that
    // it could not read as a regular file or could not read whole: the store
    // never replaces what it has not read (a FIFO, or a link to a device,
    // stays what it is, and so does a file larger than PROFILE_READ_LIMIT).
    bool Save();

    // The file Load read is longer than PROFILE_READ_LIMIT.
    bool tooLarge() const { return tooLarge_; }

    const std::string& path() const { return path_; }
    // The file's text as it will be saved.
    const std::string& text() const { return text_; }

    // Takes `text` as if it had been read from the file: what lies past
    // PROFILE_READ_LIMIT is dropped with the line cut there.
    void TakeText(std::string text);

private:
    bool WriteValue(std::string_view section, std::string_view key, std::string_view value);

    std::string path_;
    std::string text_;
    bool crlf_ = false;        // the file's lines end in "\r\n"; lines we add do too
    bool replaceable_ = true;  // the file was read whole, or there was none
    bool tooLarge_ = false;
};

}  // namespace chipbox
