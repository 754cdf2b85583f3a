// SPDX-License-Identifier: GPL-2.0-or-later
// The collection's tune information list (DOCUMENTS/STIL.txt): for a tune's
// path below the collection's root, its title, artist, author, name and
// comments, for the whole tune and for single subsongs ("(#N)" blocks); for a
// folder's path (ending in '/'), the folder's comment.
//
// What is read: an entry opens with a line holding its path ('/' in the first
// column); its fields follow, one a line as "NAME: text" (indented or not),
// continued by indented lines that hold no field; "(#N)" in the first column
// opens subsong N's block; a blank line ends the entry. Lines with '#' in the
// first column are remarks and are passed over, inside an entry too.
//
// Choices: a field's continuation lines are joined to it by single spaces
// (each line trimmed), so the caller wraps the text as it likes. A path that
// comes again is merged into the earlier entry: its fields are appended, and
// a subsong block that comes again extends that subsong's fields. Fields
// outside any entry, a subsong marker other than "(#1)".."(#256)" together
// with the fields under it, and lines that fit nowhere are dropped. Texts stay
// the file's bytes (Latin-1); the caller converts.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace chipbox {

struct StilField {
    std::string name;  // "TITLE", "ARTIST", "COMMENT", "NAME" or "AUTHOR", without ':'
    std::string text;  // continuation lines joined by single spaces, trimmed

    bool operator==(const StilField&) const = default;
};

struct StilEntry {
    std::vector<StilField> tune;  // before any subsong marker: about the whole tune
    std::vector<std::pair<int, std::vector<StilField>>> songs;  // subsong (1-based), file order
};

class StilIndex {
public:
    // Reads the file; a malformed line is skipped. False, and an empty index,
    // when it cannot be read or is larger than 64 MiB.
    bool Load(const std::string& path);
    // The same from text in memory; replaces what the index held.
    bool Parse(std::string_view text);

    // `collectionPath` as the file writes it: from the collection's root,
    // '/'-separated, '/' first. Exact, case-sensitive match; null when absent.
    const StilEntry* Find(std::string_view collectionPath) const;
    // What a player shows for subsong `song` (1-based): the tune-wide fields,
    // then that subsong's own. Empty for a path not listed.
    std::vector<StilField> FieldsFor(std::string_view collectionPath, int song) const;
    // A folder's own comment (its path ends in '/'), or null.
    const std::string* FolderComment(std::string_view folderPath) const;
    // Tune entries; folders not counted.
    std::size_t size() const { return entries_.size(); }

private:
    // Lets a string_view look up the std::string keys without a copy.
    struct PathHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view path) const noexcept {
            return std::hash<std::string_view>{}(path);
        }
    };
    template <typename Value>
    using PathMap = std::unordered_map<std::string, Value, PathHash, std::equal_to<>>;

    class Reader;

    void Clear();

    PathMap<StilEntry> entries_;
    PathMap<std::string> folderComments_;
};

}  // namespace chipbox
