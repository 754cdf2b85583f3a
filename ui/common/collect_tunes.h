// SPDX-License-Identifier: GPL-2.0-or-later
// The tunes a command line or a playlist names: files as given, and the
// .sid files of folders in the order the window's browser sorts them.
#pragma once

#include <string>
#include <vector>

namespace chipbox {

// Each input that is a folder contributes its files whose names end in .sid
// in any letter case, in the browser's order (BrowserOrder), and with `recursive` then
// its subfolders' in the same order (symbolic links to folders are not
// followed, so a link loop ends). A folder's .sid entry that is no regular
// file (a FIFO, a socket, a device) goes to `notRegular` instead: reading it
// could wait forever. Any other input is taken as it is, so that a missing
// file is reported when it is loaded, and a FIFO named on purpose is read.
std::vector<std::string> CollectTunes(const std::vector<std::string>& inputs, bool recursive,
                                      std::vector<std::string>& notRegular);

}  // namespace chipbox
