// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/profile_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"

namespace chipbox {

namespace {

constexpr std::size_t READ_CHUNK = 16 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// One line of the text: [begin, end) is its content without the line end
// ("\n", "\r\n"); `next` is where the following line starts.
struct LineSpan {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

LineSpan LineAt(std::string_view text, std::size_t begin) {
    const std::size_t newline = text.find('\n', begin);
    LineSpan span{begin, newline == std::string_view::npos ? text.size() : newline, 0};
    span.next = newline == std::string_view::npos ? text.size() : newline + 1;
    if (span.end > begin && text[span.end - 1] == '\r') --span.end;
    return span;
}

enum class LineKind { OTHER, SECTION, KEY };

struct ParsedLine {
    LineKind kind = LineKind::OTHER;
    std::string_view name;
    std::size_t valueBegin = 0;  // offset in the line, for keys
};

ParsedLine ParseLine(std::string_view line) {
    std::string_view content = line;
    while (!content.empty() && IsBlank(content.front())) content.remove_prefix(1);
    if (content.empty() || content.front() == ';' || content.front() == '#') return {};
    if (content.front() == '[') {
        const std::size_t close = content.find(']');
        if (close == std::string_view::npos) return {};
        return {LineKind::SECTION, TrimBlanks(content.substr(1, close - 1)), 0};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    const std::string_view name = TrimBlanks(line.substr(0, equals));
    if (name.empty()) return {};
    std::size_t value = equals + 1;
    while (value < line.size() && IsBlank(line[value])) ++value;
    return {LineKind::KEY, name, value};
}

struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t valueBegin = 0;  // the key's value in the text, when found
    std::size_t valueEnd = 0;
    std::size_t insertAt = 0;  // after the section's last key line, or its header
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    Location where;
    bool inSection = false;
    for (std::size_t begin = 0; begin < text.size();) {
        const LineSpan span = LineAt(text, begin);
        const ParsedLine line = ParseLine(text.substr(span.begin, span.end - span.begin));
        if (line.kind == LineKind::SECTION) {
            if (inSection) break;  // a later section of the same name is left alone
            if (SameName(line.name, section)) {
                inSection = where.sectionFound = true;
                where.insertAt = span.next;
            }
        } else if (line.kind == LineKind::KEY && inSection) {
            where.insertAt = span.next;
            if (SameName(line.name, key)) {
                where.keyFound = true;
                where.valueBegin = span.begin + line.valueBegin;
                where.valueEnd = span.end;
                return where;
            }
        }
        begin = span.next;
    }
    return where;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool StorableSection(std::string_view section) {
    return !section.empty() && TrimBlanks(section) == section && !HasLineBreak(section) &&
           section.find(']') == std::string_view::npos;
}

bool StorableKey(std::string_view key) {
    return !key.empty() && TrimBlanks(key) == key && !HasLineBreak(key) &&
           key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           key.front() != '#';
}

// What the file's last line lacks of its line end before a line can follow
// it: nothing when it has one; only '\n' after a lone '\r', which already ends
// the line as it is read (another "\r\n" would leave the '\r' in the value).
std::string_view MissingLineEnd(std::string_view text, std::string_view newline) {
    if (text.empty() || text.back() == '\n') return {};
    return text.back() == '\r' ? "\n" : newline;
}

bool LastLineIsBlank(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    const std::size_t lastBreak = text.rfind('\n');
    std::string_view last = lastBreak == std::string_view::npos ? text : text.substr(lastBreak + 1);
    if (!last.empty() && last.back() == '\r') last.remove_suffix(1);
    return TrimBlanks(last).empty();
}

}  // namespace

CProfileStore::CProfileStore(std::string path) : path_(std::move(path)) { Load(); }

bool CProfileStore::Load() {
    text_.clear();
    crlf_ = false;
    tooLarge_ = false;
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int descriptor = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        replaceable_ = errno == ENOENT || errno == ENOTDIR;
        return false;
    }
    struct stat status {};
    bool readable = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    char chunk[READ_CHUNK];
    // One byte past the limit tells a file of exactly the limit from a longer one.
    while (readable && text_.size() <= PROFILE_READ_LIMIT) {
        const std::size_t wanted = std::min(READ_CHUNK, PROFILE_READ_LIMIT + 1 - text_.size());
        const ssize_t got = ::read(descriptor, chunk, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) readable = false;
        if (got <= 0) break;
        text_.append(chunk, static_cast<std::size_t>(got));
    }
    close(descriptor);
    tooLarge_ = readable && text_.size() > PROFILE_READ_LIMIT;
    replaceable_ = readable && !tooLarge_;
    if (!readable) {
        text_.clear();
        return false;
    }
    TakeText(std::move(text_));
    return true;
}

void CProfileStore::TakeText(std::string text) {
    text_ = std::move(text);
    if (text_.size() > PROFILE_READ_LIMIT) {
        // The line cut at the limit would give a wrong value; drop it.
        const std::size_t lastBreak = text_.rfind('\n', PROFILE_READ_LIMIT - 1);
        text_.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
    }
    const std::size_t firstBreak = text_.find('\n');
    crlf_ = firstBreak != std::string::npos && firstBreak > 0 && text_[firstBreak - 1] == '\r';
}

int CProfileStore::ReadInt(std::string_view section, std::string_view key, int defaultValue) const {
    const Location where = Locate(text_, section, key);
    if (!where.keyFound) return defaultValue;
    std::string_view number = TrimBlanks(
        std::string_view(text_).substr(where.valueBegin, where.valueEnd - where.valueBegin));
    if (!number.empty() && number.front() == '+') {
        number.remove_prefix(1);
        if (!number.empty() && number.front() == '-') return defaultValue;
    }
    int value = 0;
    const char* end = number.data() + number.size();
    const auto [rest, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc() || rest != end) return defaultValue;
    return value;
}

std::string CProfileStore::ReadString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
    const Location where = Locate(text_, section, key);
    if (!where.keyFound) return std::string(defaultValue);
    return text_.substr(where.valueBegin, where.valueEnd - where.valueBegin);
}

bool CProfileStore::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteValue(section, key, std::to_string(value));
}

bool CProfileStore::WriteString(std::string_view section, std::string_view key,
                                std::string_view text) {
    return WriteValue(section, key, text);
}

bool CProfileStore::WriteValue(std::string_view section, std::string_view key,
                               std::string_view value) {
    if (!StorableSection(section) || !StorableKey(key) || HasLineBreak(value)) return false;
    const Location where = Locate(text_, section, key);
    if (where.keyFound) {
        text_.replace(where.valueBegin, where.valueEnd - where.valueBegin, value);
        return true;
    }
    const std::string_view newline = crlf_ ? "\r\n" : "\n";
    std::string lines;
    const std::string_view unended = MissingLineEnd(text_, newline);
    if (where.sectionFound) {
        if (where.insertAt == text_.size()) lines += unended;
    } else {
        lines += unended;
        if (!text_.empty() && !LastLineIsBlank(text_)) lines += newline;
        lines.append("[").append(section).append("]").append(newline);
    }
    lines.append(key).append("=").append(value).append(newline);
    text_.insert(where.sectionFound ? where.insertAt : text_.size(), lines);
    return true;
}

bool CProfileStore::Save() {
    if (path_.empty() || !replaceable_) return false;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    if (error) return false;
    AtomicFile file(path_);
    return file.Open() && file.Write(text_.data(), text_.size()) && file.Commit();
}

}  // namespace chipbox
