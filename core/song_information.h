#pragma once

#include <string>

namespace chipbox {

// Where the loaded tune sits in memory, its entry points and its size: the
// text of the Song Information box. The end address is the address after the
// last loaded byte and may reach $10000.
std::string SongInformationText();

}  // namespace chipbox
