// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/psid_loader.h"

#include "core/c64_memory.h"
#include "core/routine_call.h"
#include "core/tune_info.h"

namespace chipbox {

namespace {

constexpr std::size_t TEXT_FIELD_LENGTH = 32;
constexpr int MOST_SONGS = 256;

// A PSID file as a byte-wise reader sees it: every byte past the end of the
// file reads as $FF.
class PsidBytes {
public:
    explicit PsidBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    bool Has(std::size_t offset) const { return offset < bytes_.size(); }
    std::uint8_t At(std::size_t offset) const { return Has(offset) ? bytes_[offset] : 0xFF; }
    std::uint16_t BigEndianWord(std::size_t offset) const {
        return static_cast<std::uint16_t>(At(offset) << 8 | At(offset + 1));
    }

    // Up to the first zero byte, never past the field's 32 bytes or the file.
    std::string Text(std::size_t offset) const {
        std::string text;
        for (std::size_t i = 0; i < TEXT_FIELD_LENGTH && Has(offset + i); ++i) {
            const std::uint8_t byte = bytes_[offset + i];
            if (byte == 0) break;
            text.push_back(static_cast<char>(byte));
        }
        return text;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Judged on the whole 16-bit words: a header that claims no songs has one,
// and one that starts at song 0 or past its last song starts at the first.
// No file that plays has either, and the player would otherwise show
// "256 / 2" and start a song the tune does not have.
void ReadSongNumbers(const PsidBytes& file) {
    const int songs = file.BigEndianWord(14);
    const int count = songs == 0 ? 1 : songs > MOST_SONGS ? MOST_SONGS : songs;
    const int start = file.BigEndianWord(16);
    tuneInfo.lastSong = static_cast<std::uint8_t>(count - 1);
    tuneInfo.currentSong = static_cast<std::uint8_t>(start == 0 || start > count ? 0 : start - 1);
}

constexpr std::size_t FLAGS_OFFSET = 0x76;

void ReadHeader(const PsidBytes& file) {
    tuneInfo.version = file.BigEndianWord(4);
    const bool hasFlags = tuneInfo.version >= 2 && file.At(7) >= FLAGS_OFFSET + 2;
    tuneInfo.flags = hasFlags ? file.BigEndianWord(FLAGS_OFFSET) : 0;
    tuneInfo.initAddress = file.BigEndianWord(10);
    tuneInfo.playAddress = file.BigEndianWord(12);
    ReadSongNumbers(file);
    tuneInfo.ciaTiming = file.At(21) != 0;
    tuneInfo.name = file.Text(22);
    tuneInfo.author = file.Text(54);
    tuneInfo.released = file.Text(86);
}

// Reads a byte at the reading position; at end of file the position stays put
// and the byte reads as $FF.
std::uint8_t ReadAndAdvance(const PsidBytes& file, std::size_t& position) {
    const std::uint8_t byte = file.At(position);
    if (file.Has(position)) ++position;
    return byte;
}

// Returns the position of the first data byte.
std::size_t ReadLoadAddress(const PsidBytes& file) {
    std::size_t position = file.At(7);
    std::uint16_t loadAddress = file.BigEndianWord(8);
    if (loadAddress == 0) {
        const std::uint8_t low = ReadAndAdvance(file, position);
        const std::uint8_t high = ReadAndAdvance(file, position);
        loadAddress = static_cast<std::uint16_t>(low | high << 8);
    }
    tuneInfo.loadAddress = loadAddress;
    return position;
}

// Stored without I/O hooks; data longer than 64 KB would overwrite their own
// beginning, as the address wraps.
void PlaceData(const PsidBytes& file, std::span<const std::uint8_t> bytes,
               std::size_t firstDataByte) {
    std::uint16_t address = tuneInfo.loadAddress;
    std::size_t count = 0;
    for (std::size_t i = firstDataByte; i < file.size(); ++i, ++count)
        StoreMemory(address++, bytes[i]);
    tuneInfo.dataSize = static_cast<std::uint16_t>(count);
}

// A tune without a play address installs its handler through the IRQ vector
// in its init routine; the vector is taken whatever it holds, even after a
// call cut off at the cycle limit.
void SettlePlayAddress() {
    tuneInfo.playFromIrqVector = tuneInfo.playAddress == 0;
    if (!tuneInfo.playFromIrqVector) return;
    CallRoutine(tuneInfo.initAddress, 0);
    tuneInfo.playAddress = ReadIrqVector();
}

}  // namespace

std::uint16_t LoadPsidFile(std::span<const std::uint8_t> bytes, std::string& name,
                           std::string& author, std::string& released) {
    const PsidBytes file(bytes);
    ReadHeader(file);
    PlaceData(file, bytes, ReadLoadAddress(file));
    TakeTuneImage();
    SettlePlayAddress();
    name = tuneInfo.name;
    author = tuneInfo.author;
    released = tuneInfo.released;
    return tuneInfo.loadAddress;
}

}  // namespace chipbox
