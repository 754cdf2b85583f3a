// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tune_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <thread>

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
        {"rsid.sid", {'R', 'S', 'I', 'D', 0, 2}, TuneFileProblem::Rsid},
        {"lower.sid", {'P', 'S', 'I', 'd'}, TuneFileProblem::NotPsid},
        {"short.sid", {'P', 'S', 'I'}, TuneFileProblem::NotPsid},
        {"empty.sid", {}, TuneFileProblem::NotPsid},
    };
    for (const Row& row : rows) {
        const TuneFile file = ReadTuneFile(test::WriteTempFile(row.name, row.bytes));
        EXPECT_EQ(file.problem, row.problem) << row.name;
        const bool whole = row.problem == TuneFileProblem::None;
        EXPECT_EQ(file.bytes, whole ? row.bytes : std::vector<std::uint8_t>{}) << row.name;
    }
    const TuneFile missing = ReadTuneFile("/nonexistent/tune.sid");
    EXPECT_EQ(missing.problem, TuneFileProblem::CannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(ReadTuneFile("/tmp").problem, TuneFileProblem::IsDirectory);
    EXPECT_EQ(ReadTuneFile("/dev/zero").problem, TuneFileProblem::NotPsid);  // read bounded
}

// A pipe can be read only once: the file is opened once, so its first bytes
// are both checked and loaded.
TEST(TuneFileTest, ReadsATuneFromAPipeWhole) {
    const std::string fifo = test::WriteTempFile("pipe-folder", {}) + ".sid";
    std::filesystem::remove(fifo);  // a pipe left by a run that was killed
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::uint8_t> bytes = Psid(3000);
    std::thread writer([&] {
        std::FILE* pipe = std::fopen(fifo.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), pipe);
        std::fclose(pipe);
    });
    const TuneFile file = ReadTuneFile(fifo);
    writer.join();
    std::filesystem::remove(fifo);
    EXPECT_EQ(file.problem, TuneFileProblem::None);
    EXPECT_EQ(file.bytes, bytes);
}

}  // namespace
}  // namespace chipbox
