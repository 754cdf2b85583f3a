// SPDX-License-Identifier: GPL-2.0-or-later
// The High Voltage SID Collection as it lies on disk: a root folder holding
// DOCUMENTS/ (the song length file, the tune information list) beside the
// tunes' folders. A tune is found in it by walking up from its folder, so
// that no setting is needed; $HVSC_BASE names the root for tunes elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chipbox {

// The nearest folder above `tunePath` (its own folder first) that holds
// DOCUMENTS/`document` as a regular file, or none.
std::optional<std::string> CollectionRootAbove(const std::string& tunePath,
                                               std::string_view document);

// The root $HVSC_BASE names: the folder itself or its C64Music/, whichever
// holds DOCUMENTS/`document`; none when neither does or it is unset.
std::optional<std::string> CollectionRootFromEnvironment(std::string_view document);

// Where DOCUMENTS/`document` is: the path chosen, else below $HVSC_BASE, else
// above the tune; none when there is no such file.
std::optional<std::string> FindCollectionDocument(const std::optional<std::string>& chosen,
                                                  const std::string& tunePath,
                                                  std::string_view document);

// The tune's name as the collection's documents write it: from the root,
// '/'-separated, starting with '/'; none when the tune is not below `root`.
std::optional<std::string> CollectionPath(const std::string& root, const std::string& tunePath);

}  // namespace chipbox
