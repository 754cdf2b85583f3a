#include <gtest/gtest.h>

#include "core/tune_file_checks.h"
#include "test_support.h"

namespace chipbox {
namespace {

TEST(TuneFileChecksTest, RecordsAPathWithASlashAsItIs) {
    EXPECT_EQ(RecordTunePath("/music/tune.sid", "/home/user"), "/music/tune.sid");
    EXPECT_EQ(RecordTunePath("sub/tune.sid", "/home/user"), "sub/tune.sid");
}

TEST(TuneFileChecksTest, PutsABareNameAfterTheWorkingDirectory) {
    EXPECT_EQ(RecordTunePath("tune.sid", "/home/user"), "/home/user/tune.sid");
    EXPECT_EQ(RecordTunePath("tune.sid", "/"), "/tune.sid");
}

TEST(TuneFileChecksTest, KeepsAVeryLongPathWhole) {
    std::string directory(301, 'd');
    directory.front() = '/';
    const std::string recorded = RecordTunePath("tune.sid", directory);
    EXPECT_EQ(recorded.size(), directory.size() + 9);
    EXPECT_EQ(TuneFileName(recorded), "tune.sid");
}

TEST(TuneFileChecksTest, AcceptsAnyVersionWithTheMagic) {
    EXPECT_EQ(CheckTuneFile(test::WriteTempFile("ok.sid", {'P', 'S', 'I', 'D', 0, 9})),
              TuneFileCheck::Ok);
}

TEST(TuneFileChecksTest, RejectsOtherMagicShortFilesAndMissingFiles) {
    EXPECT_EQ(CheckTuneFile(test::WriteTempFile("rsid.sid", {'R', 'S', 'I', 'D', 0, 2})),
              TuneFileCheck::NotPsid);
    EXPECT_EQ(CheckTuneFile(test::WriteTempFile("lower.sid", {'P', 'S', 'I', 'd'})),
              TuneFileCheck::NotPsid);
    EXPECT_EQ(CheckTuneFile(test::WriteTempFile("short.sid", {'P', 'S', 'I'})),
              TuneFileCheck::NotPsid);
    EXPECT_EQ(CheckTuneFile(test::WriteTempFile("empty.sid", {})), TuneFileCheck::NotPsid);
    EXPECT_EQ(CheckTuneFile("/nonexistent/tune.sid"), TuneFileCheck::CannotOpen);
    EXPECT_EQ(CheckTuneFile("/tmp"), TuneFileCheck::CannotOpen);
}

TEST(TuneFileChecksTest, FailureMessagesNameThePathAsGiven) {
    const LoadMessage missing = LoadFailureMessage(TuneFileCheck::CannotOpen, "x.sid");
    EXPECT_EQ(missing.text, "x.sid\ncould not be loaded...");
    EXPECT_EQ(missing.caption, "Warning");
    const LoadMessage invalid = LoadFailureMessage(TuneFileCheck::NotPsid, "x.sid");
    EXPECT_EQ(invalid.text, "x.sid\nis not a valid PSID File!");
    EXPECT_EQ(invalid.caption, "?! Load Error");
}

TEST(TuneFileChecksTest, TitleShowsOnlyTheFileName) {
    EXPECT_EQ(TuneWindowTitle("/music/Demo Tune.sid"), "Demo Tune.sid - Chipbox v0.965");
    EXPECT_EQ(TuneWindowTitle("plain.sid"), "plain.sid - Chipbox v0.965");
}

TEST(TuneFileChecksTest, SubsongTextCountsFromOneUpTo256) {
    EXPECT_EQ(SubsongText(0, 2), "1 / 3");
    EXPECT_EQ(SubsongText(255, 255), "256 / 256");
}

}  // namespace
}  // namespace chipbox
