// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tune_file.h"

#include <algorithm>

#include "core/machine/sid_header.h"

namespace chipbox {

namespace {

constexpr std::size_t DATA_OFFSET_POSITION = 7;

bool StartsWith(const std::vector<std::uint8_t>& bytes, const char (&magic)[5]) {
    return bytes.size() >= 4 && std::equal(magic, magic + 4, bytes.begin());
}

}  // namespace

TuneFileProblem CheckTuneContents(const std::vector<std::uint8_t>& bytes) {
    const bool rsid = StartsWith(bytes, "RSID");
    if (!rsid && !StartsWith(bytes, "PSID")) return TuneFileProblem::NotPsid;
    const std::size_t dataOffset =
        bytes.size() > DATA_OFFSET_POSITION ? bytes[DATA_OFFSET_POSITION] : LARGEST_DATA_OFFSET;
    if (bytes.size() > dataOffset + LONGEST_TUNE_DATA) return TuneFileProblem::TooLarge;
    if (rsid && machine::ParseSidHeader(bytes).problem != machine::HeaderProblem::None)
        return TuneFileProblem::InvalidRsid;
    return TuneFileProblem::None;
}

}  // namespace chipbox
