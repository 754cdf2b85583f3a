// SPDX-License-Identifier: GPL-2.0-or-later
// A whole text as one number, as the command line and the collection's
// files write them.
#pragma once

#include <charconv>
#include <optional>
#include <string>

namespace chipbox {

// The number `text` is, all of it; none when anything else is there.
template <class Number>
std::optional<Number> ParseNumber(const std::string& text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end) return std::nullopt;
    return value;
}

}  // namespace chipbox
