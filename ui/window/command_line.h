// SPDX-License-Identifier: GPL-2.0-or-later
// The tune path a start of the program is given.
#pragma once

#include <string>

namespace chipbox::window {

// The path as the command line gives it: the two enclosing characters are
// dropped only when both are double quotes (a shell passes a path without
// them, a launcher that quotes passes them along).
std::string CutCommandLinePath(const std::string& argument);

// A relative path put after `workingDirectory`, so that it names the same file
// once the running instance has changed its own folder; an absolute or empty
// path stays as it is.
std::string AbsoluteTunePath(const std::string& path, const std::string& workingDirectory);

// The same against the working directory of this process, as it is now. When
// that cannot be read (it was removed), the path stays relative.
std::string AbsoluteTunePath(const std::string& path);

}  // namespace chipbox::window
