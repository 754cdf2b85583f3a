// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/sid_header.h"

#include <algorithm>

namespace chipbox::machine {

namespace {

constexpr std::size_t VERSION_1_HEADER = 0x76;
constexpr std::size_t FLAGS_OFFSET = 0x76;
constexpr std::size_t TEXT_LENGTH = 32;
constexpr std::uint16_t LOWEST_RSID_ADDRESS = 0x07E8;
constexpr int MOST_SONGS = 256;

std::uint16_t Word(std::span<const std::uint8_t> file, std::size_t offset) {
    return static_cast<std::uint16_t>(file[offset] << 8 | file[offset + 1]);
}

std::string Text(std::span<const std::uint8_t> file, std::size_t offset) {
    std::string text;
    for (std::size_t i = 0; i < TEXT_LENGTH && file[offset + i] != 0; ++i)
        text.push_back(static_cast<char>(file[offset + i]));
    return text;
}

bool UnderRomOrIo(std::uint16_t address) {
    return (address >= 0xA000 && address < 0xC000) || address >= 0xD000;
}

HeaderProblem CheckRsidRules(const SidHeader& header, std::uint16_t headerLoadAddress) {
    if (headerLoadAddress != 0 || header.playAddress != 0 || header.speed != 0)
        return HeaderProblem::RsidFieldsNotZero;
    if (header.loadAddress < LOWEST_RSID_ADDRESS) return HeaderProblem::RsidLoadTooLow;
    if (!header.basicProgram() &&
        (header.initAddress < LOWEST_RSID_ADDRESS || UnderRomOrIo(header.initAddress)))
        return HeaderProblem::RsidInitInRom;
    return HeaderProblem::None;
}

// The address byte $xy names $Dxy0; valid ones are even and lie in $42-$7E
// or $E0-$FE.
bool IsExtraSidAddress(std::uint8_t byte) {
    const bool even = (byte & 1) == 0;
    return even && ((byte >= 0x42 && byte <= 0x7E) || byte >= 0xE0);
}

void ReadExtraSids(std::span<const std::uint8_t> file, std::size_t dataOffset, SidHeader& header) {
    constexpr std::size_t SECOND_SID = 0x7A, THIRD_SID = 0x7B;
    constexpr int SECOND_MODEL_SHIFT = 6, THIRD_MODEL_SHIFT = 8;
    const struct {
        std::uint16_t version;
        std::size_t offset;
        int modelShift;
    } named[] = {{3, SECOND_SID, SECOND_MODEL_SHIFT}, {4, THIRD_SID, THIRD_MODEL_SHIFT}};
    for (const auto& chip : named) {
        if (header.version < chip.version || dataOffset <= chip.offset || file.size() <= chip.offset)
            continue;
        const std::uint8_t byte = file[chip.offset];
        if (byte == 0) continue;  // none named
        const auto address = static_cast<std::uint16_t>(0xD000 + byte * 16);
        const bool taken = std::any_of(header.extraSids.begin(), header.extraSids.end(),
                                       [&](const ExtraSid& sid) { return sid.address == address; });
        if (!IsExtraSidAddress(byte) || taken) {
            header.ignoredSidAddresses.push_back(address);
            continue;
        }
        header.extraSids.push_back(
            {address, static_cast<std::uint8_t>((header.flags >> chip.modelShift) & 3)});
    }
}

}  // namespace

ParsedHeader ParseSidHeader(std::span<const std::uint8_t> file) {
    ParsedHeader parsed;
    SidHeader& header = parsed.header;
    if (file.size() < VERSION_1_HEADER) {
        parsed.problem = HeaderProblem::TooShort;
        return parsed;
    }
    header.rsid = file[0] == 'R';
    header.version = Word(file, 4);
    const std::size_t dataOffset = Word(file, 6);
    const std::uint16_t headerLoadAddress = Word(file, 8);
    header.initAddress = Word(file, 10);
    header.playAddress = Word(file, 12);
    header.songs = std::clamp<int>(Word(file, 14), 1, MOST_SONGS);
    header.startSong = Word(file, 16);
    if (header.startSong < 1 || header.startSong > header.songs) header.startSong = 1;
    header.speed = static_cast<std::uint32_t>(Word(file, 18)) << 16 | Word(file, 20);
    header.name = Text(file, 0x16);
    header.author = Text(file, 0x36);
    header.released = Text(file, 0x56);
    if (header.version >= 2 && dataOffset >= FLAGS_OFFSET + 4 && file.size() >= FLAGS_OFFSET + 4) {
        header.flags = Word(file, FLAGS_OFFSET);
        header.startPage = file[FLAGS_OFFSET + 2];
        header.pageLength = file[FLAGS_OFFSET + 3];
        ReadExtraSids(file, dataOffset, header);
    }
    std::size_t data = dataOffset;
    header.loadAddress = headerLoadAddress;
    if (headerLoadAddress == 0) {
        if (file.size() < data + 2) {
            parsed.problem = HeaderProblem::TooShort;
            return parsed;
        }
        header.loadAddress = static_cast<std::uint16_t>(file[data] | file[data + 1] << 8);
        data += 2;
    }
    if (file.size() <= data) {
        parsed.problem = HeaderProblem::TooShort;
        return parsed;
    }
    const std::size_t room = 0x10000 - header.loadAddress;
    header.data = file.subspan(data, std::min(file.size() - data, room));
    if (header.initAddress == 0) header.initAddress = header.loadAddress;
    if (header.rsid) parsed.problem = CheckRsidRules(header, headerLoadAddress);
    return parsed;
}

std::uint8_t PsidBankFor(std::uint16_t address) {
    if (address < 0xA000) return 0x37;
    if (address < 0xD000) return 0x36;
    return 0x35;
}

}  // namespace chipbox::machine
