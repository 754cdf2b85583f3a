#include "core/psid_loader.h"

#include <array>
#include <fstream>
#include <optional>
#include <vector>

#include "core/c64_memory.h"
#include "core/routine_call.h"
#include "core/tune_info.h"

namespace chipbox {

namespace {

constexpr std::size_t TEXT_FIELD_LENGTH = 32;
// Holds the header, the largest data offset and a load address after it.
constexpr std::size_t HEADER_PREFIX = 512;

// A PSID file as a byte-wise reader sees it: every header byte past the end
// of the file reads as $FF. The data after the header are streamed, so a file
// of any length loads in constant memory.
class PsidBytes {
public:
    static std::optional<PsidBytes> Open(const std::string& path) {
        PsidBytes bytes;
        bytes.file_.open(path, std::ios::binary);
        if (!bytes.file_) return std::nullopt;
        bytes.prefix_.resize(HEADER_PREFIX);
        bytes.file_.read(reinterpret_cast<char*>(bytes.prefix_.data()), HEADER_PREFIX);
        bytes.prefix_.resize(static_cast<std::size_t>(bytes.file_.gcount()));
        return bytes;
    }

    bool Has(std::size_t offset) const { return offset < prefix_.size(); }
    std::uint8_t At(std::size_t offset) const { return Has(offset) ? prefix_[offset] : 0xFF; }
    std::uint16_t BigEndianWord(std::size_t offset) const {
        return static_cast<std::uint16_t>(At(offset) << 8 | At(offset + 1));
    }

    // Up to the first zero byte, never past the field's 32 bytes or the file.
    std::string Text(std::size_t offset) const {
        std::string text;
        for (std::size_t i = 0; i < TEXT_FIELD_LENGTH && Has(offset + i); ++i) {
            const std::uint8_t byte = prefix_[offset + i];
            if (byte == 0) break;
            text.push_back(static_cast<char>(byte));
        }
        return text;
    }

    // Stores every byte from `offset` to the end of the file into memory from
    // `address` on, wrapping past $FFFF, without I/O hooks. Returns the count.
    std::uint64_t CopyTo(std::size_t offset, std::uint16_t address) {
        std::uint64_t count = 0;
        for (std::size_t i = offset; i < prefix_.size(); ++i, ++count)
            c64Memory.bytes[address++] = prefix_[i];
        if (prefix_.size() < HEADER_PREFIX) return count;  // the file ended inside the prefix
        std::array<char, 4096> block;
        while (file_.read(block.data(), block.size()) || file_.gcount() > 0) {
            const auto read = static_cast<std::size_t>(file_.gcount());
            for (std::size_t i = 0; i < read; ++i)
                c64Memory.bytes[address++] = static_cast<std::uint8_t>(block[i]);
            count += read;
        }
        return count;
    }

private:
    std::ifstream file_;
    std::vector<std::uint8_t> prefix_;
};

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
void PlaceData(PsidBytes& file, std::size_t firstDataByte) {
    tuneInfo.dataSize =
        static_cast<std::uint16_t>(file.CopyTo(firstDataByte, tuneInfo.loadAddress));
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
    std::optional<PsidBytes> file = PsidBytes::Open(path);
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
