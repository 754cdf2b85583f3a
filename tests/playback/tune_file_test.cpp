// SPDX-License-Identifier: GPL-2.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>

#include "core/tune_file.h"
#include "playback/tune_loading.h"
#include "test_support.h"

namespace chipbox {
namespace {

std::vector<std::uint8_t> Psid(std::size_t dataBytes, std::uint8_t dataOffset = 0x7C) {
    std::vector<std::uint8_t> bytes(dataOffset + dataBytes, 0);
    bytes[0] = 'P', bytes[1] = 'S', bytes[2] = 'I', bytes[3] = 'D';
    bytes[5] = 9;  // any version
    bytes[7] = dataOffset;
    return bytes;
}

// The header's one-byte data offset, a load address and 64 KB of data are
// the most a tune can hold; a longer file is refused, not streamed through.
TEST(TuneFileTest, ReadsATuneWholeOrTellsWhyItIsNone) {
    struct Row {
        const char* name;
        std::vector<std::uint8_t> bytes;
        TuneFileProblem problem;
    };
    const std::size_t longest = 65536 + 2;
    const Row rows[] = {
        {"ok.sid", Psid(100), TuneFileProblem::None},
        {"full.sid", Psid(longest), TuneFileProblem::None},
        {"long.sid", Psid(longest + 1), TuneFileProblem::TooLarge},
        {"short offset.sid", Psid(longest + 1, 0x10), TuneFileProblem::TooLarge},
        {"rsid.sid", {'R', 'S', 'I', 'D', 0, 2}, TuneFileProblem::InvalidRsid},
        {"lower.sid", {'P', 'S', 'I', 'd'}, TuneFileProblem::NotPsid},
        {"short.sid", {'P', 'S', 'I'}, TuneFileProblem::NotPsid},
        {"empty.sid", {}, TuneFileProblem::NotPsid},
    };
    for (const FileKinds kinds : {FileKinds::AnyReadable, FileKinds::RegularOnly}) {
        for (const Row& row : rows) {
            const TuneFile file = ReadTuneFile(test::WriteTempFile(row.name, row.bytes), kinds);
            EXPECT_EQ(file.problem, row.problem) << row.name;
            const bool whole = row.problem == TuneFileProblem::None;
            EXPECT_EQ(file.bytes, whole ? row.bytes : std::vector<std::uint8_t>{}) << row.name;
        }
        const TuneFile missing = ReadTuneFile("/nonexistent/tune.sid", kinds);
        EXPECT_EQ(missing.problem, TuneFileProblem::CannotOpen);
        EXPECT_EQ(missing.error, ENOENT);
        EXPECT_EQ(ReadTuneFile("/tmp", kinds).problem, TuneFileProblem::IsDirectory);
    }
    EXPECT_EQ(ReadTuneFile("/dev/zero", FileKinds::AnyReadable).problem,
              TuneFileProblem::NotPsid);  // read bounded
    EXPECT_EQ(ReadTuneFile("/dev/zero", FileKinds::RegularOnly).problem,
              TuneFileProblem::NotRegularFile);
}

// A FIFO in a fresh folder of the test's own.
std::string MakeFifo(const std::string& name) {
    const std::string fifo = (test::FreshFolder(name) / (name + ".sid")).string();
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    return fifo;
}

// A pipe can be read only once: the file is opened once, so its first bytes
// are both checked and loaded.
TEST(TuneFileTest, ReadsATuneFromAPipeNamedOnPurposeWhole) {
    const std::string fifo = MakeFifo("pipe");
    const std::vector<std::uint8_t> bytes = Psid(3000);
    std::thread writer([&] {
        std::FILE* pipe = std::fopen(fifo.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), pipe);
        std::fclose(pipe);
    });
    const TuneFile file = ReadTuneFile(fifo, FileKinds::AnyReadable);
    writer.join();
    EXPECT_EQ(file.problem, TuneFileProblem::None);
    EXPECT_EQ(file.bytes, bytes);
}

// What a window is handed may be a FIFO that nobody writes: it is refused at
// once instead of waiting for a writer that never comes.
TEST(TuneFileTest, ARegularFileOnlyReadRefusesAFifoWithoutWaiting) {
    const std::string fifo = MakeFifo("unwritten");
    auto read = std::async(std::launch::async,
                           [&] { return ReadTuneFile(fifo, FileKinds::RegularOnly).problem; });
    const bool waited = read.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    if (waited) close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // let it end
    EXPECT_FALSE(waited);
    EXPECT_EQ(read.get(), TuneFileProblem::NotRegularFile);
}

}  // namespace
}  // namespace chipbox
