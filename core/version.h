#pragma once

namespace chipbox {

// The main window's caption, and the program's name wherever it is shown.
constexpr const char* PROGRAM_CAPTION = "Chipbox v0.965";

}  // namespace chipbox
