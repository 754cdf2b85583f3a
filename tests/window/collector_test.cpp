// SPDX-License-Identifier: GPL-2.0-or-later
// The collector's windows on the offscreen platform: the complete machine's
// menu item and offer, the playlist (its columns, song lengths found beside
// the tunes, moving on, repeat, its file, the tune information list), the
// scope's values, and a large folder read without holding the window.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_support.h"
#include "ui/common/collector_settings.h"
#include "ui/common/song_lengths.h"
#include "ui/window/collection_documents.h"
#include "ui/window/machine_offer.h"
#include "ui/window/playlist_window.h"
#include "ui/window/scope_texts.h"
#include "ui/window/scope_window.h"
#include "ui/window/tune_header_reader.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

namespace fs = std::filesystem;
using window::CChipboxDlg;
using window::CPlaylist;

class CollectorTest : public WindowTest {
protected:
    // A collection as it lies on disk: DOCUMENTS/ beside the tunes' folders.
    fs::path Collection(const std::string& lengths, const std::string& stil = {}) {
        const fs::path root = FreshFolder("collection");
        fs::create_directories(root / "DOCUMENTS");
        fs::create_directories(root / "MUSICIANS/T");
        for (const char* tune : {"minimal", "subsongs"})
            fs::copy_file(TunePath(tune), root / "MUSICIANS/T" / (std::string(tune) + ".sid"));
        std::ofstream(root / "MUSICIANS/T/junk.sid") << "JUNK";
        std::ofstream(root / "DOCUMENTS/Songlengths.md5") << lengths;
        if (!stil.empty()) std::ofstream(root / "DOCUMENTS/STIL.txt") << stil;
        return root;
    }
    static std::string LengthLine(const std::string& tune, const std::string& lengths) {
        const std::string bytes = ReadFile(TunePath(tune));
        return TuneMd5({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}) + "=" +
               lengths + "\n";
    }
    // Adds and waits until every tune is in and the documents are read.
    CPlaylist& Filled(CChipboxDlg& dlg, std::vector<std::string> inputs) {
        CPlaylist& list = *dlg.playlist();
        list.Add(std::move(inputs));
        EXPECT_TRUE(QTest::qWaitFor([&] { return list.reader().idle() && !Reading(list); }, 20000));
        dlg.documents().WaitForReaders();
        Settle();
        return list;
    }
    static bool Reading(const CPlaylist& list) {
        return list.statusLine()->text().contains(QStringLiteral("reading"));
    }
    static QString Cell(const CPlaylist& list, int row, int column) {
        return list.tuneList()->topLevelItem(row)->text(column);
    }
    // Plays buffers until `done` or `most` buffers have played; each buffer
    // is heard as soon as it finished, so no waiting is needed.
    bool PlayUntil(CPlaylist& list, const std::function<bool()>& done, int most) {
        for (int i = 0; i < most && !done(); ++i) {
            if (playerState.playing) FinishBuffers(1);
            list.Tick();
            Settle();
        }
        return done();
    }
};

TEST_F(CollectorTest, CompleteMachineItemWritesItsKeyAndCountsFromTheNextStart) {
    CChipboxDlg& dlg = WindowWith("minimal");
    QAction* item = Named<QAction>(dlg, "completeMachineAction");
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(item->toolTip(), QStringLiteral("Takes effect when the next tune starts"));
    ChooseFromBar(Named<QMenuBar>(dlg, "menuBar"), QStringLiteral("&View"),
                  QStringLiteral("&Complete Machine"));
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(settings.completeMachineWritten, std::vector<bool>{true});
    EXPECT_EQ(CurrentMachineModel(), MachineModel::Default) << "not before the next start";
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    EXPECT_EQ(CurrentMachineModel(), MachineModel::Complete);
    EXPECT_TRUE(MachinePlays());
    // Unticked while it plays: this song stays on the machine.
    item->trigger();
    EXPECT_EQ(settings.completeMachineWritten, (std::vector<bool>{true, false}));
    EXPECT_TRUE(MachinePlays());
    Click(Named<QPushButton>(dlg, "stopButton"));
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    EXPECT_FALSE(MachinePlays());
    // The choice read at start ticks the item.
    window_.reset();
    settings.start.completeMachine = true;
    EXPECT_TRUE(Named<QAction>(WindowWith("minimal"), "completeMachineAction")->isChecked());
}

TEST_F(CollectorTest, ASilentTuneThatNeedsTheMachineIsOfferedItOnce) {
    CChipboxDlg& dlg = WindowWith("needs_complete_machine");
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    for (int i = 0; i < 16 && !dlg.machineOffer(); ++i) {
        FinishBuffers(1);
        QTest::qWait(110);  // the window looks ten times a second
    }
    window::CMachineOffer* offer = dlg.machineOffer();
    ASSERT_NE(offer, nullptr) << "no offer after 2.5 s of silence";
    EXPECT_TRUE(Named<QLabel>(*offer, "offerText")->text().contains(QStringLiteral("undocumented")));
    EXPECT_TRUE(settings.completeMachineWritten.empty()) << "nothing chosen by the offer alone";
    Click(offer->acceptButton());
    Settle();
    EXPECT_EQ(settings.completeMachineWritten, std::vector<bool>{true});
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(MachinePlays());
    EXPECT_TRUE(Named<QAction>(dlg, "completeMachineAction")->isChecked());
    // It sounds now, and no offer comes again.
    for (int i = 0; i < 16; ++i) {
        FinishBuffers(1);
        QTest::qWait(20);
    }
    EXPECT_EQ(dlg.machineOffer(), nullptr);
}

TEST_F(CollectorTest, ATuneThatSoundsOrNeedsNothingIsNotOffered) {
    for (const char* tune : {"subsongs", "minimal"}) {
        window_.reset();
        CChipboxDlg& dlg = WindowWith(tune);
        Click(Named<QPushButton>(dlg, "playPauseButton"));
        Settle();
        for (int i = 0; i < 16; ++i) {
            FinishBuffers(1);
            QTest::qWait(30);
        }
        QTest::qWait(120);
        EXPECT_EQ(dlg.machineOffer(), nullptr) << tune;
    }
}

TEST_F(CollectorTest, PlaylistShowsTheTunesAndTheLengthsOfTheirCollection) {
    const fs::path root = Collection("; made for the test\n[Database]\n" +
                                     LengthLine("subsongs", "0:02 0:01 3:25.500"));
    CChipboxDlg& dlg = OpenWindow();
    ASSERT_NE(dlg.playlist(), nullptr);
    EXPECT_FALSE(dlg.playlist()->isVisible()) << "hidden until asked for";
    ChooseFromBar(Named<QMenuBar>(dlg, "menuBar"), QStringLiteral("&View"),
                  QStringLiteral("P&laylist"));
    EXPECT_TRUE(dlg.playlist()->isVisible());
    EXPECT_EQ(dlg.playlist()->windowTitle(), QStringLiteral("Chipbox Playlist"));
    CPlaylist& list = Filled(dlg, {root.string()});
    ASSERT_EQ(list.size(), 3u);
    QTreeWidget* tree = list.tuneList();
    QStringList headers;
    for (int c = 0; c < tree->columnCount(); ++c) headers << tree->headerItem()->text(c);
    EXPECT_EQ(headers, Utf8({"", "Name", "Author", "Released", "Songs", "Lengths"}));
    // In the browser's order; the broken file says why and cannot be played.
    EXPECT_EQ(Cell(list, 0, 1), QStringLiteral("junk.sid"));
    EXPECT_EQ(Cell(list, 0, 2), QStringLiteral("no SID tune"));
    EXPECT_TRUE(tree->topLevelItem(0)->isDisabled());
    EXPECT_EQ(Cell(list, 1, 1), QStringLiteral("Minimal"));
    EXPECT_EQ(Cell(list, 1, 5), QStringLiteral("?"));
    EXPECT_EQ(Cell(list, 2, 1), QStringLiteral("Subsongs"));
    EXPECT_EQ(Cell(list, 2, 2), QStringLiteral("Chipbox tests"));
    EXPECT_EQ(Cell(list, 2, 3), QStringLiteral("2026 Chipbox"));
    EXPECT_EQ(Cell(list, 2, 4), QStringLiteral("3"));
    EXPECT_EQ(Cell(list, 2, 5), QStringLiteral("0:02 0:01 3:25.500"));
    EXPECT_TRUE(list.statusLine()->text().contains(
        QString::fromStdString((root / "DOCUMENTS/Songlengths.md5").string())));

    // Double-click plays, and the row shows which song plays.
    list.PlayEntry(2);
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(tuneInfo.currentSong, 0) << "all subsongs from the first";
    EXPECT_EQ(Cell(list, 2, 0), QString::fromUtf8("\u25B6"));
    EXPECT_EQ(Cell(list, 2, 4), QStringLiteral("1/3"));
    EXPECT_EQ(dlg.KnownSongLength(), 2000u);
    FinishBuffers(4);
    list.Tick();
    EXPECT_EQ(list.timeLabel()->text(), QStringLiteral("0:00 / 0:02"));
    FinishBuffers(3);
    list.Tick();
    EXPECT_EQ(list.timeLabel()->text(), QStringLiteral("0:01 / 0:02"));
    EXPECT_GT(list.progressBar()->value(), 500);
    // Another row played: the mark moves with it.
    list.PlayEntry(1);
    Settle();
    EXPECT_EQ(Cell(list, 2, 0), QString());
    EXPECT_EQ(Cell(list, 2, 4), QStringLiteral("3"));
    EXPECT_EQ(Cell(list, 1, 0), QString::fromUtf8("\u25B6"));
}

TEST_F(CollectorTest, PlaylistMovesOnThroughSubsongsAndTunesAndRepeats) {
    const fs::path root = Collection(LengthLine("minimal", "0:01") +
                                     LengthLine("subsongs", "0:01 0:00.500 0:01"));
    CChipboxDlg& dlg = OpenWindow();
    const std::string minimal = (root / "MUSICIANS/T/minimal.sid").string();
    const std::string subsongs = (root / "MUSICIANS/T/subsongs.sid").string();
    CPlaylist& list = Filled(dlg, {minimal, subsongs});
    ASSERT_EQ(list.size(), 2u);
    list.ShowWindow();
    list.PlayEntry(0);
    Settle();
    ASSERT_EQ(currentTunePath, minimal);
    const auto playing = [&](const std::string& tune, int song) {
        return [&, tune, song] { return currentTunePath == tune && tuneInfo.currentSong == song; };
    };
    EXPECT_TRUE(PlayUntil(list, playing(subsongs, 0), 12)) << "on to the next tune";
    EXPECT_TRUE(PlayUntil(list, playing(subsongs, 1), 12)) << "its second song";
    EXPECT_TRUE(PlayUntil(list, playing(subsongs, 2), 8));
    EXPECT_TRUE(PlayUntil(list, [] { return !playerState.playing; }, 12)) << "stops at the end";

    // Repeat starts again; with only start songs a tune plays just that one.
    Click(list.repeatBox());
    Click(list.allSubsongsBox());
    EXPECT_TRUE(collectorSettings.repeat);
    EXPECT_FALSE(collectorSettings.allSubsongs);
    list.PlayEntry(1);
    Settle();
    EXPECT_EQ(tuneInfo.currentSong, 1) << "its start song";
    EXPECT_TRUE(PlayUntil(list, playing(minimal, 0), 8)) << "after the start song, the next tune";
    EXPECT_TRUE(PlayUntil(list, playing(subsongs, 1), 12)) << "repeat";
    // The keys for the next and previous tune, and the desktop's Next.
    QTest::keyClick(&list, Qt::Key_Right, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(currentTunePath, minimal);
    dlg.NextTuneOrSong();
    Settle();
    EXPECT_EQ(currentTunePath, subsongs);
    // The settings of the list are written at closing.
    dlg.reject();
    ASSERT_FALSE(settings.collectorWritten.empty());
    EXPECT_TRUE(settings.collectorWritten.back().repeat);
    EXPECT_FALSE(settings.collectorWritten.back().allSubsongs);
}

TEST_F(CollectorTest, TheListIsKeptInItsFileAndRestored) {
    const fs::path folder = FreshFolder("kept");
    settings.playlistPath = (folder / "chipbox.m3u").string();
    const std::string subsongs = TunePath("subsongs"), minimal = TunePath("minimal");
    Filled(OpenWindow(), {subsongs, minimal});
    window_->reject();
    EXPECT_EQ(ReadFile(settings.playlistPath),
              "#EXTM3U\n#EXTINF:-1,Chipbox tests - Subsongs\n" + subsongs +
                  "\n#EXTINF:-1,Chipbox tests - Minimal\n" + minimal + "\n");
    window_.reset();
    CChipboxDlg& again = OpenWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return again.playlist()->size() == 2; }, 10000));
    EXPECT_EQ(again.playlist()->tune(0).path, subsongs);
    EXPECT_EQ(again.playlist()->tune(1).path, minimal);
    // Cleared, the file is empty too.
    again.playlist()->Clear();
    EXPECT_EQ(ReadFile(settings.playlistPath), "#EXTM3U\n");
}

TEST_F(CollectorTest, TheTuneInformationListShowsTheTunesAndTheSongsEntry) {
    const fs::path root = Collection("", "/MUSICIANS/T/subsongs.sid\n"
                                         "   TITLE: The whole tune\n"
                                         "(#2)\n"
                                         " COMMENT: Only the second song,\n"
                                         "          on two lines.\n");
    CChipboxDlg& dlg = OpenWindow();
    CPlaylist& list = Filled(dlg, {(root / "MUSICIANS/T/subsongs.sid").string()});
    list.PlayEntry(0, 1);
    dlg.documents().WaitForReaders();
    Settle();
    EXPECT_EQ(list.stilText()->text(),
              QStringLiteral("Title: The whole tune\nComment: Only the second song, on two lines."));
    list.PlayEntry(0, 0);
    Settle();
    EXPECT_EQ(list.stilText()->text(), QStringLiteral("Title: The whole tune"));
}

TEST_F(CollectorTest, AThousandTuneFolderIsReadWithoutHoldingTheWindow) {
    const fs::path folder = FreshFolder("thousand");
    // As large as the collection's tunes are, each with its own MD5.
    const std::string bytes = ReadFile(TunePath("minimal")) + std::string(8000, '\0');
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "tune%04d.sid", i);
        std::ofstream(folder / name, std::ios::binary) << bytes << static_cast<char>(i & 0xFF);
    }
    CChipboxDlg& dlg = OpenWindow();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    CPlaylist& list = Filled(dlg, {folder.string()});
    ticker.stop();
    ASSERT_EQ(list.size(), 1000u);
    EXPECT_EQ(list.tune(0).path, (folder / "tune0000.sid").string());
    EXPECT_EQ(list.tune(999).path, (folder / "tune0999.sid").string());
    EXPECT_GT(ticks, 3) << "the window's thread ran its timers while the folder was read";
    std::cout << "longest batch held the window's thread for " << list.longestBatchMicros()
              << " us\n";
    RecordProperty("longest_batch_us", std::to_string(list.longestBatchMicros()));
}

TEST_F(CollectorTest, ScopeShowsTheRegistersTheTuneWrote) {
    CChipboxDlg& dlg = WindowWith("subsongs");
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    FinishBuffers(3);
    ChooseFromBar(Named<QMenuBar>(dlg, "menuBar"), QStringLiteral("&View"),
                  QStringLiteral("S&cope"));
    ASSERT_NE(dlg.scope(), nullptr);
    EXPECT_EQ(dlg.scope()->windowTitle(), QStringLiteral("Chipbox Scope"));
    window::ScopeView* view = dlg.scope()->view();
    ASSERT_TRUE(view->Refresh());
    const ScopeChip& chip = view->shown()->chips[0];
    // The start song, the second, writes $20 to the frequency's high byte.
    EXPECT_EQ(chip.registers[1], 0x20);
    EXPECT_EQ(chip.registers[4], 0x11);
    const window::VoiceView voice = window::ViewVoice(chip, 0, view->shown()->clockHz);
    EXPECT_EQ(voice.waveform, "TRI");
    EXPECT_TRUE(voice.gate);
    EXPECT_EQ(voice.note, "B-4");  // $2000 at the PAL clock: 481 Hz
    EXPECT_EQ(window::ViewFilter(chip).volume, 15);
    EXPECT_EQ(chip.envelopes[0], 0) << "sustain 0: decayed to silence";
    // Stopped, nothing is heard.
    Click(Named<QPushButton>(dlg, "stopButton"));
    EXPECT_FALSE(view->Refresh());
    dlg.scope()->close();
    Settle();
    EXPECT_EQ(dlg.scope(), nullptr);
    EXPECT_GE(collectorSettings.scope.width, 0);
}

TEST(ScopeTextsTest, NotesWaveformsAndFilterAreNamedFromTheRegisters) {
    EXPECT_EQ(window::NoteName(440.0), "A-4");
    EXPECT_EQ(window::NoteName(261.63), "C-4");
    EXPECT_EQ(window::NoteName(277.2), "C#4");
    EXPECT_EQ(window::NoteName(10.0), "---");
    ScopeChip chip;
    chip.registers = {0x00, 0x1D, 0x00, 0x08, 0x41, 0x2A, 0xF9};  // voice 1: pulse at 50 %
    chip.registers[21] = 0x05;
    chip.registers[22] = 0x80;
    chip.registers[23] = 0xA5;  // resonance 10, voices 1 and 3
    chip.registers[24] = 0x9F;  // low-pass, voice 3 off, volume 15
    const window::VoiceView voice = window::ViewVoice(chip, 0, 985248.0);
    EXPECT_EQ(voice.waveform, "PUL");
    EXPECT_EQ(voice.pulseWidth, 0x800);
    EXPECT_EQ(voice.attack, 2);
    EXPECT_EQ(voice.release, 9);
    EXPECT_EQ(voice.note, "A-4");  // $1D00: 436 Hz
    const window::FilterView filter = window::ViewFilter(chip);
    EXPECT_EQ(filter.cutoff, 0x405);
    EXPECT_EQ(filter.resonance, 10);
    EXPECT_EQ(filter.mode, "LP");
    EXPECT_EQ(filter.routed, "1 3");
    EXPECT_TRUE(filter.voice3Off);
    // The trace's shapes: a pulse is high past its width, a sawtooth rises.
    EXPECT_LT(window::WaveformValue(0x40, 0x800, 0.25, 0), 0.0);
    EXPECT_GT(window::WaveformValue(0x40, 0x800, 0.75, 0), 0.0);
    EXPECT_LT(window::WaveformValue(0x20, 0, 0.1, 0), window::WaveformValue(0x20, 0, 0.9, 0));
    EXPECT_EQ(window::WaveformValue(0x28, 0, 0.9, 0), 0.0) << "the test bit holds it";
}

}  // namespace
}  // namespace chipbox::test
