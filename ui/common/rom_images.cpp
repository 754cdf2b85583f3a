// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/rom_images.h"

#include <cstring>

#include "platform/bounded_read.h"

namespace chipbox {

namespace {

// The image at `path`, or nothing with a problem told.
std::vector<std::uint8_t> ReadImage(const std::string& path, const char* what, std::size_t size,
                                    std::vector<std::string>& problems) {
    if (path.empty()) return {};
    BoundedRead read = ReadBoundedFile(path, size + 1, FileKinds::RegularOnly);
    if (read.isDirectory || read.notRegular) {
        problems.push_back(path + ": not a file, so no " + what + " ROM image");
        return {};
    }
    if (read.error != 0) {
        problems.push_back(path + ": " + std::strerror(read.error) + ", so no " + what +
                           " ROM image");
        return {};
    }
    if (read.bytes.size() != size) {
        problems.push_back(path + ": not a " + what + " ROM image, which has " +
                           std::to_string(size) + " bytes");
        return {};
    }
    return std::move(read.bytes);
}

}  // namespace

ReadRoms ReadRomImages(const RomPaths& paths) {
    ReadRoms roms;
    roms.images.kernal = ReadImage(paths.kernal, "KERNAL", machine::KERNAL_SIZE, roms.problems);
    roms.images.basic = ReadImage(paths.basic, "BASIC", machine::BASIC_SIZE, roms.problems);
    roms.images.characters =
        ReadImage(paths.characters, "character", machine::CHARACTER_ROM_SIZE, roms.problems);
    return roms;
}

}  // namespace chipbox
