// SPDX-License-Identifier: GPL-2.0-or-later
// The file browser, opened with the main window's Open button in a temporary
// tree of tunes, directories and letter-case variants, driven by keys and
// clicks.
#include <sys/stat.h>
#include <QApplication>
#include <QFile>
#include <QFontDialog>
#include <QFontInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_support.h"
#include "ui/window/dialog_units.h"
#include "ui/window/file_browse_dialog.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

namespace fs = std::filesystem;
using window::CFileBrowseDialog;

const std::string LONG_NAME = std::string(251, 'z') + ".sid";  // the longest a name can be
const std::string LATIN1_NAME = "\xe9t\xe9.sid";               // bytes that are no UTF-8

QString Shown(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

class BrowserTest : public WindowTest {
protected:
    BrowserTest() : root(FreshFolder("tunes")) {
        for (const char* dir : {"beta", "Alpha", "a", "a-b", "gamma.sid", "beta/inner"})
            fs::create_directories(root / dir);
        for (const std::string& name :
             {std::string("A.sid"), std::string("a.sid"), std::string("c.sid"), LONG_NAME})
            fs::copy_file(TunePath("minimal"), root / name);
        fs::copy_file(TunePath("subsongs"), root / "b.SID");
        fs::copy_file(TunePath("subsongs"), root / LATIN1_NAME);
        std::ofstream(root / "notes.txt") << '\x01';
        std::ofstream(root / "Bad.sid") << "PS";  // no tune
        // Reading it would wait for a writer: no tune either, and not listed.
        mkfifo((root / "fifo.sid").c_str(), 0600);
        fs::current_path(root);
    }

    CFileBrowseDialog& OpenBrowser() {
        if (!window_) OpenWindow();
        Click(Named<QPushButton>(*window_, "openButton"));
        EXPECT_NE(window_->fileBrowser(), nullptr);
        return *window_->fileBrowser();
    }
    QListWidget& List() { return *window_->fileBrowser()->fileList(); }
    // Each entry as its tag, a blank and its text.
    QStringList Entries() {
        QStringList entries;
        for (int row = 0; row < List().count(); ++row)
            entries << QString::number(List().item(row)->data(Qt::UserRole).toInt()) + u' ' +
                           List().item(row)->text();
        return entries;
    }
    QString Selected() { return List().currentItem() ? List().currentItem()->text() : QString(); }
    void Select(const QString& text) {
        List().setCurrentItem(List().findItems(text, Qt::MatchExactly).value(0));
    }
    // As the window system delivers a double click: a click, then the second
    // press as a double click.
    void DoubleClick(const QString& text) {
        Select(text);
        Settle();  // the list lays its items out late
        const QPoint where = List().visualItemRect(List().currentItem()).center();
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, where);
        Settle();
    }
    void Key(Qt::Key key) {
        QTest::keyClick(&List(), key);
        Settle();
    }
    fs::path root;
};

TEST(PlaceCandidates, RootHomeThenVolumesMountedDirectlyInTheUsersFolders) {
    const std::string table =
        "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /mnt/deep/inside ext4 rw 0 0\n"
        "/dev/sdc1 /mnt/data ext4 rw 0 0\n/dev/sdd1 /run/media/ann/DISK vfat rw 0 0\n"
        "/dev/sde1 /media/ann/USB\\040Stick vfat rw 0 0\n/dev/sdf1 /media/bob/B vfat rw 0 0\nbad\n";
    EXPECT_EQ(window::PlaceCandidates(table, "/home/ann/", "ann"),
              (std::vector<std::string>{"/", "/home/ann", "/media/ann/USB Stick",
                                        "/run/media/ann/DISK", "/mnt/data"}));
    EXPECT_EQ(window::PlaceCandidates(table, "/", ""),
              (std::vector<std::string>{"/", "/mnt/data"}));
}

// Directories sort with their brackets ("[a-b]" before "[a]"), letter case
// ignored; names differing only in case keep one order; then the places. Only
// regular files are listed as tunes: the FIFO named like one is not.
TEST_F(BrowserTest, ListsDirectoriesThenTunesThenPlacesWithTheirTags) {
    CFileBrowseDialog& browser = OpenBrowser();
    EXPECT_EQ(browser.windowTitle(), QString::fromStdString(root.string()));
    const QStringList expected =
        Utf8({"2 [..]", "2 [a-b]", "2 [a]", "2 [Alpha]", "2 [beta]", "2 [gamma.sid]", "1 A.sid",
              "1 a.sid", "1 b.SID", "1 Bad.sid", "1 c.sid"}) +
        QStringList{QStringLiteral("1 ") + Shown(LONG_NAME),
                    QStringLiteral("1 ") + Shown(LATIN1_NAME), QStringLiteral("2 [/]")};
    const QStringList entries = Entries();
    EXPECT_EQ(entries.mid(0, expected.size()), expected);
    for (const QString& place : entries.mid(expected.size()))
        EXPECT_TRUE(place.startsWith(QStringLiteral("2 [/"))) << place.toStdString();
    EXPECT_EQ(List().currentRow(), 0);
}

// Thousands of tunes are listed a step at a time, so that the window's thread
// gets back to the sound between steps; the last chosen one is found all the
// same, far down the list.
TEST_F(BrowserTest, AFolderOfThousandsOfTunesFillsInStepsAndFindsTheLastChosen) {
    const fs::path many = root / "many";
    fs::create_directory(many);
    constexpr int TUNES = 3000;
    QStringList expected{QStringLiteral("[..]")};
    for (int i = 0; i < TUNES; ++i) {
        const std::string name = std::string("t").append(std::to_string(10000 + i)).append(".sid");
        std::ofstream(many / name) << "PSID";
        expected << QString::fromStdString(name);
    }
    fs::current_path(many);
    settings.start.lastChosenFile = expected[TUNES - 1].toStdString();
    OpenBrowser();
    EXPECT_LT(List().count(), TUNES);  // the window's thread is back before the list is full
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().count() > TUNES; }, 20000));
    Settle();
    QStringList listed;
    for (int row = 0; row <= TUNES; ++row) listed << List().item(row)->text();
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(Selected(), expected[TUNES - 1]);
}

// Down by double click and Open, up by Backspace and Enter on [..]: the cursor
// lands on entry 0 going down and on the directory just left going up. In the
// root, which has no [..], Backspace activates whatever comes first.
TEST_F(BrowserTest, GoesDownAndUpWithTheCursorOnTheDirectoryLeft) {
    CFileBrowseDialog& browser = OpenBrowser();
    DoubleClick(QStringLiteral("[beta]"));
    EXPECT_EQ(fs::current_path(), root / "beta");
    EXPECT_EQ(browser.windowTitle(), QString::fromStdString((root / "beta").string()));
    EXPECT_EQ(Selected(), QStringLiteral("[..]"));
    Select(QStringLiteral("[inner]"));  // Backspace goes up from wherever the cursor is
    Key(Qt::Key_Backspace);
    EXPECT_EQ(fs::current_path(), root);
    EXPECT_EQ(Selected(), QStringLiteral("[beta]"));

    Select(QStringLiteral("[Alpha]"));
    Click(browser.openButton());
    EXPECT_EQ(fs::current_path(), root / "Alpha");
    EXPECT_EQ(List().currentRow(), 0);
    Key(Qt::Key_Return);
    EXPECT_EQ(fs::current_path(), root);
    EXPECT_EQ(Selected(), QStringLiteral("[Alpha]"));

    // A directory removed under the browser: the list still leads out of it.
    DoubleClick(QStringLiteral("[beta]"));
    fs::remove_all(root / "beta");
    Key(Qt::Key_Backspace);
    DoubleClick(QStringLiteral("[/]"));
    ASSERT_EQ(fs::current_path(), fs::path("/"));
    const QString first = List().item(0)->text();
    ASSERT_NE(first, QStringLiteral("[..]"));
    Key(Qt::Key_Backspace);
    EXPECT_TRUE(
        fs::equivalent(fs::current_path(), "/" + first.mid(1, first.size() - 2).toStdString()));
}

// Raw file names reach loading byte for byte; the browser stays as it was,
// also when loading reports a file that is no tune.
TEST_F(BrowserTest, ActivatingAFilePlaysItAndLeavesTheBrowserAsItWas) {
    CFileBrowseDialog& browser = OpenBrowser();
    Select(Shown(LATIN1_NAME));
    const QStringList before = Entries();
    Click(browser.openButton());
    Settle();
    EXPECT_EQ(currentTunePath, (root / LATIN1_NAME).string());
    EXPECT_EQ(uiSettings.lastChosenFile, LATIN1_NAME);
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(window_->fileBrowser(), &browser);
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Selected(), Shown(LATIN1_NAME));

    DoubleClick(QStringLiteral("Bad.sid"));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(window_->fileBrowser(), &browser);
    EXPECT_EQ(Selected(), QStringLiteral("Bad.sid"));
}

// Closing keeps the outer rectangle and the next Open restores it; the last
// chosen name is found again only in its exact letter case.
TEST_F(BrowserTest, ReopeningRestoresTheRectangleAndTheLastChosenName) {
    QRect outer;
    OpenWindow();
    for (const auto& [lastChosen, selected] :
         {std::pair{"b.SID", "b.SID"}, std::pair{"B.sid", "[..]"}}) {
        uiSettings.lastChosenFile = lastChosen;
        CFileBrowseDialog& browser = OpenBrowser();
        EXPECT_EQ(Selected(), QString::fromUtf8(selected)) << lastChosen;
        EXPECT_EQ(&OpenBrowser(), &browser);  // a second Open only focuses it
        browser.setGeometry(30, 40, 400, 300);
        outer = browser.frameGeometry();
        Click(browser.cancelButton());
        EXPECT_EQ(window_->fileBrowser(), nullptr);
        EXPECT_EQ(QRect(uiSettings.browserX, uiSettings.browserY, uiSettings.browserWidth,
                        uiSettings.browserHeight),
                  outer);
        Settle();
    }
    EXPECT_EQ(OpenBrowser().frameGeometry(), outer);
}

// The template's places hold until the first size change; then the list
// fills all but the buttons' strip, which a narrow window leaves no list.
TEST_F(BrowserTest, LayoutFollowsTheClientSize) {
    CFileBrowseDialog& browser = OpenBrowser();
    const window::DialogBaseUnits base = window::BaseUnitsOf(browser.font());
    EXPECT_EQ(browser.openButton()->geometry(), window::MapDialogRect({225, 5, 50, 14}, base));
    for (const QSize client : {QSize(400, 300), QSize(60, 100)}) {
        browser.resize(client);
        Settle();
        const int w = client.width(), h = client.height();
        EXPECT_EQ(List().geometry(), QRect(8, 8, std::max(0, w - 95), h - 16));
        EXPECT_EQ(browser.openButton()->geometry(), QRect(w - 80, 8, 75, 24));
        EXPECT_EQ(browser.cancelButton()->geometry(), QRect(w - 80, 36, 75, 24));
        EXPECT_EQ(browser.fontButton()->geometry(), QRect(w - 80, 70, 75, 24));
    }
}

// The chosen font goes to the list only, and to the settings for next time.
TEST_F(BrowserTest, FontButtonSetsTheListFontAndRemembersIt) {
    CFileBrowseDialog& browser = OpenBrowser();
    const QFont buttonFont = browser.openButton()->font();
    QFont chosen = browser.font();
    chosen.setPixelSize(23);
    QTimer::singleShot(0, [&chosen] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setCurrentFont(chosen);
        dialog->accept();
    });
    Click(browser.fontButton());
    EXPECT_EQ(uiSettings.browserFontHeight, 23);
    EXPECT_EQ(uiSettings.browserFontName, List().font().family().toStdString());
    EXPECT_EQ(QFontInfo(List().font()).pixelSize(), 23);
    EXPECT_EQ(browser.openButton()->font(), buttonFont);
}

}  // namespace
}  // namespace chipbox::test
