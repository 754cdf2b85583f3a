#include "core/psid_loader.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "core/c64_memory.h"
#include "core/routine_call.h"
#include "core/tune_info.h"

namespace chipbox {

namespace {

constexpr std::size_t TEXT_FIELD_LENGTH = 32;

// The file as a run of bytes where every position past the end reads as $FF,
// as a byte-wise reader sees end-of-file.
class PsidBytes {
public:
    explicit PsidBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

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
    std::vector<std::uint8_t> bytes_;
};

std::optional<PsidBytes> ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
    return PsidBytes(std::move(bytes));
}

void ReadHeader(const PsidBytes& file) {
    tuneInfo.initAddress = file.BigEndianWord(10);
    tuneInfo.playAddress = file.BigEndianWord(12);
    tuneInfo.lastSong = static_cast<std::uint8_t>(file.At(15) - 1);
    tuneInfo.currentSong = static_cast<std::uint8_t>(file.At(17) - 1);
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

// Data longer than 64 KB overwrite their own beginning, as the address wraps.
void PlaceData(const PsidBytes& file, std::size_t firstDataByte) {
    std::uint16_t address = tuneInfo.loadAddress;
    for (std::size_t i = firstDataByte; i < file.size(); ++i) c64Memory.bytes[address++] = file.At(i);
    const std::size_t count = file.size() > firstDataByte ? file.size() - firstDataByte : 0;
    tuneInfo.dataSize = static_cast<std::uint16_t>(count);
}

// A tune without a play address installs its handler through the IRQ vector
// in its init routine; the vector is taken whatever it holds, even after a
// call cut off at the cycle limit.
void SettlePlayAddress() {
    if (tuneInfo.playAddress != 0) return;
    CallRoutine(tuneInfo.initAddress, 0);
    tuneInfo.playAddress = ReadIrqVector();
}

}  // namespace

std::uint16_t LoadPsidFile(const std::string& path, std::string& name, std::string& author,
                           std::string& released) {
    const std::optional<PsidBytes> file = ReadWholeFile(path);
    if (!file) return 0;
    ReadHeader(*file);
    PlaceData(*file, ReadLoadAddress(*file));
    TakeTuneImage();
    SettlePlayAddress();
    name = tuneInfo.name;
    author = tuneInfo.author;
    released = tuneInfo.released;
    return tuneInfo.loadAddress;
}

}  // namespace chipbox
