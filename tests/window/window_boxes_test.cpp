// SPDX-License-Identifier: GPL-2.0-or-later
// Song Information and the About box, opened from the menu as a user does.
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>

#include "test_support.h"
#include "ui/window/about_dlg.h"
#include "ui/window/message_boxes.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;

QAction* ActionNamed(const QList<QAction*>& actions, const QString& text) {
    for (QAction* action : actions)
        if (action->text() == text) return action;
    return nullptr;
}

// Opens a menu bar pop-up and clicks one of its items, both with the mouse.
void ChooseFromBar(QMenuBar* bar, const QString& popup, const QString& item) {
    QAction* title = ActionNamed(bar->actions(), popup);
    ASSERT_NE(title, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
    QMenu* menu = title->menu();
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    QAction* action = ActionNamed(menu->actions(), item);
    ASSERT_NE(action, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

std::string SongInformation(int start, int size, int init, int play) {
    return QString::asprintf(
               "Start Address: $%04X\nEnd Address: $%04X\n\nInit Address: $%04X\n"
               "Play Address: $%04X\n\nSong Size: %d bytes (%d blocks)",
               start, start + size, init, play, size, (size + 255) / 256)
        .toStdString();
}

TEST_F(WindowTest, SongInformationWithoutTuneShowsTheStartValues) {
    CChipboxDlg& dlg = OpenWindow();
    ChooseFromBar(dlg.menuBar(), QStringLiteral("&View"), QStringLiteral("Song &Information"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.toStdString(),
              "Start Address: $0000\nEnd Address: $0000\n\nInit Address: $1000\n"
              "Play Address: $1003\n\nSong Size: 0 bytes (0 blocks)");
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Song Information"));
    EXPECT_EQ(messages.shown[0].icon, window::MessageIcon::Information);
    EXPECT_EQ(messages.shown[0].owner, &dlg);
}

TEST_F(WindowTest, SongInformationShowsWhereTheTuneSits) {
    // Worked out from the file itself: header addresses, data after it.
    std::ifstream file(TunePath("minimal"), std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    auto word = [&bytes](int offset) { return bytes[offset] << 8 | bytes[offset + 1]; };
    const int dataOffset = bytes[7];
    const int size = static_cast<int>(bytes.size()) - dataOffset;

    CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
    ChooseFromBar(dlg.menuBar(), QStringLiteral("&View"), QStringLiteral("Song &Information"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.toStdString(),
              SongInformation(word(8), size, word(10), word(12)));
}

// Checks the About box once it is up and closes it with its OK button.
class AboutBoxCheck {
public:
    AboutBoxCheck() {
        QTimer::singleShot(0, [this] { Check(); });
    }
    bool seen = false;
    QString title;
    QStringList texts;
    bool okIsDefault = false;
    QWidget* owner = nullptr;

private:
    void Check() {
        auto* about = qobject_cast<window::CAboutDlg*>(QApplication::activeModalWidget());
        if (!about) {
            QTimer::singleShot(10, [this] { Check(); });
            return;
        }
        seen = true;
        title = about->windowTitle();
        owner = about->parentWidget();
        for (const QLabel* label : about->findChildren<QLabel*>())
            if (!label->text().isEmpty()) texts << label->text();
        okIsDefault = about->okButton()->isDefault();
        QTest::mouseClick(about->okButton(), Qt::LeftButton);
    }
};

void ExpectAboutBox(const AboutBoxCheck& check, const QWidget* window) {
    ASSERT_TRUE(check.seen);
    EXPECT_EQ(check.title, QString::fromUtf8("Info über Chipbox"));
    EXPECT_EQ(check.owner, window);
    EXPECT_TRUE(check.texts.contains(QStringLiteral("Chipbox v0.965")));
    EXPECT_TRUE(check.texts.contains(QString::fromUtf8(window::ABOUT_AUTHORSHIP_TEXT)));
    EXPECT_TRUE(check.texts.contains(QString::fromUtf8(window::ABOUT_CREDIT_TEXT)));
    EXPECT_TRUE(check.okIsDefault);
}

TEST_F(WindowTest, AboutBoxOpensFromTheInfoMenu) {
    CChipboxDlg& dlg = OpenWindow();
    AboutBoxCheck check;
    ChooseFromBar(dlg.speedBar(), QStringLiteral("&Info"),
                  QString::fromUtf8("Inf&o über Chipbox..."));
    ExpectAboutBox(check, &dlg);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(WindowTest, AboutBoxOpensFromTheContextMenu) {
    CChipboxDlg& dlg = OpenWindow();
    const QPoint where = dlg.client()->geometry().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, where, dlg.mapToGlobal(where));
    QCoreApplication::sendEvent(&dlg, &event);
    QMenu* menu = dlg.contextMenu();
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    AboutBoxCheck check;
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(menu->actions().constFirst()).center());
    ExpectAboutBox(check, &dlg);
}

}  // namespace
}  // namespace chipbox::test
