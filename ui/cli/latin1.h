#pragma once

#include <string>

namespace chipbox::cli {

// Tune texts are 8-bit Latin-1; a terminal expects UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

}  // namespace chipbox::cli
