// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/stil.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>

#include "platform/bounded_read.h"

namespace chipbox {

namespace {

// The whole collection's file is a few megabytes; more is no tune information
// list.
constexpr std::size_t LARGEST_FILE = 64 << 20;
constexpr int LAST_SONG = 256;
constexpr std::array<std::string_view, 5> FIELD_NAMES{"TITLE", "ARTIST", "COMMENT", "NAME",
                                                      "AUTHOR"};
// Roughly what one entry takes in the collection's file, to size the map once.
constexpr std::size_t BYTES_PER_ENTRY = 128;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

bool HasControlBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// "(#N)" with N a subsong the format allows, else none.
std::optional<int> SongMarker(std::string_view line) {
    if (line.size() < 4 || !line.starts_with("(#") || !line.ends_with(')')) return std::nullopt;
    const std::string_view digits = line.substr(2, line.size() - 3);
    int song = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), song);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (song < 1 || song > LAST_SONG) return std::nullopt;
    return song;
}

// A line "NAME: text" (leading blanks already gone) as its field, else none.
std::optional<StilField> FieldLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, colon);
    if (std::find(FIELD_NAMES.begin(), FIELD_NAMES.end(), name) == FIELD_NAMES.end())
        return std::nullopt;
    const std::string_view rest = line.substr(colon + 1);
    if (!rest.empty() && !IsBlank(rest.front())) return std::nullopt;
    return StilField{std::string(name), std::string(Trimmed(rest))};
}

void AppendJoined(std::string& text, std::string_view more) {
    if (!text.empty() && !more.empty()) text.push_back(' ');
    text.append(more);
}

}  // namespace

// Walks the text line by line, remembering which entry and which block of it
// the next field belongs to; null `fields_` drops fields until an entry or a
// valid subsong block opens.
class StilIndex::Reader {
public:
    Reader(PathMap<StilEntry>& entries, PathMap<StilEntry>& folders)
        : entries_(entries), folders_(folders) {}

    // Paths, remarks and subsong markers stand at the line's start, so that an
    // indented continuation may begin with '/', '#' or "(#".
    void Line(std::string_view line) {
        const bool indented = !line.empty() && IsBlank(line.front());
        const std::string_view body = Trimmed(line);
        if (body.empty()) return EndEntry();
        if (!indented && body.front() == '#') return;
        if (!indented && body.front() == '/') return BeginEntry(body);
        if (!indented && body.starts_with("(#")) return BeginSong(body);
        if (std::optional<StilField> field = FieldLine(body)) return AddField(std::move(*field));
        if (indented) return ContinueField(body);
        fieldOpen_ = false;
    }

private:
    void EndEntry() {
        entry_ = nullptr;
        fields_ = nullptr;
        fieldOpen_ = false;
    }

    void BeginEntry(std::string_view path) {
        EndEntry();
        if (HasControlBytes(path)) return;
        PathMap<StilEntry>& map = path.back() == '/' ? folders_ : entries_;
        entry_ = &map[std::string(path)];
        fields_ = &entry_->tune;
    }

    void BeginSong(std::string_view line) {
        fieldOpen_ = false;
        fields_ = nullptr;
        const std::optional<int> song = SongMarker(line);
        if (!entry_ || !song) return;
        auto& songs = entry_->songs;
        auto found = std::find_if(songs.begin(), songs.end(),
                                  [&](const auto& block) { return block.first == *song; });
        if (found == songs.end()) found = songs.insert(songs.end(), {*song, {}});
        fields_ = &found->second;
    }

    void AddField(StilField field) {
        fieldOpen_ = fields_ != nullptr;
        if (fields_) fields_->push_back(std::move(field));
    }

    void ContinueField(std::string_view line) {
        if (fieldOpen_) AppendJoined(fields_->back().text, line);
    }

    PathMap<StilEntry>& entries_;
    PathMap<StilEntry>& folders_;
    StilEntry* entry_ = nullptr;
    std::vector<StilField>* fields_ = nullptr;
    bool fieldOpen_ = false;
};

void StilIndex::Clear() {
    entries_.clear();
    folderComments_.clear();
}

bool StilIndex::Parse(std::string_view text) {
    Clear();
    if (text.size() > LARGEST_FILE) return false;
    entries_.reserve(text.size() / BYTES_PER_ENTRY);
    PathMap<StilEntry> folders;
    Reader reader(entries_, folders);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        reader.Line(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    // Only a folder's comment is shown; its other fields have no use.
    for (const auto& [path, folder] : folders) {
        std::string comment;
        for (const StilField& field : folder.tune)
            if (field.name == "COMMENT") AppendJoined(comment, field.text);
        if (!comment.empty()) folderComments_.emplace(path, std::move(comment));
    }
    return true;
}

// As the song length file is read: a regular file, up to the limit.
bool StilIndex::Load(const std::string& path) {
    Clear();
    const BoundedRead read = ReadBoundedFile(path, LARGEST_FILE + 1, FileKinds::RegularOnly);
    if (!read.ok() || read.bytes.size() > LARGEST_FILE) return false;
    return Parse({reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()});
}

const StilEntry* StilIndex::Find(std::string_view collectionPath) const {
    const auto found = entries_.find(collectionPath);
    return found == entries_.end() ? nullptr : &found->second;
}

std::vector<StilField> StilIndex::FieldsFor(std::string_view collectionPath, int song) const {
    const StilEntry* entry = Find(collectionPath);
    if (!entry) return {};
    std::vector<StilField> fields = entry->tune;
    for (const auto& [number, own] : entry->songs)
        if (number == song) fields.insert(fields.end(), own.begin(), own.end());
    return fields;
}

const std::string* StilIndex::FolderComment(std::string_view folderPath) const {
    const auto found = folderComments_.find(folderPath);
    return found == folderComments_.end() ? nullptr : &found->second;
}

}  // namespace chipbox
