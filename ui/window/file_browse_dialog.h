// SPDX-License-Identifier: GPL-2.0-or-later
// The program's own file chooser: a modeless, resizable window listing the
// tune files of the working directory with its subdirectories and the places
// a user starts browsing from. Choosing a file plays it at once and leaves the
// browser open for the next one.
//
// The browser walks by changing the process's working directory, so that
// directory is where it stands. Its rectangle, the last chosen name and its
// font live in uiSettings, which the main window writes at exit.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

class QListWidget;
class QPushButton;

namespace chipbox::window {

inline constexpr const char* BROWSER_TEMPLATE_CAPTION = "Chipbox: Select a SID";

// What a list entry stands for, kept with it as its tag.
enum EntryTag : int {
    TAG_FILE = 1,       // a tune file: activating it plays it
    TAG_DIRECTORY = 2,  // a subdirectory, [..] or a place: activating it goes there
};

// A list entry's text as the file system spells it, and as it is shown:
// decoded from it, it may have lost bytes that are no text.
struct BrowserEntry {
    std::string raw;
    QString shown;
};

// The places listed after the files, in this order: the root, the home
// directory, then the volumes mounted directly in /media/USER, /run/media/USER
// and /mnt, as `mountTable` (the text of /proc/self/mounts) names them, each
// folder's in the table's order. No place appears twice; none is checked for
// existence here.
std::vector<std::string> PlaceCandidates(std::string_view mountTable, const std::string& home,
                                         const std::string& user);

class CFileBrowseDialog final : public QDialog {
    Q_OBJECT
public:
    // Builds, places and shows the browser for the working directory; `owner`
    // is the main window, which owns it. The browser deletes itself when it
    // closes.
    explicit CFileBrowseDialog(QWidget* owner);
    ~CFileBrowseDialog() override;

    // Goes into the selected directory or place, or plays the selected file.
    // Without a selection nothing happens.
    void Activate();

    QListWidget* fileList() const { return fileList_; }
    QPushButton* openButton() const { return openButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* fontButton() const { return fontButton_; }

public slots:
    // Cancel, Escape and the close box: the outer rectangle goes to
    // uiSettings and the window closes.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onOpenClicked();
    void onFontClicked();

private:
    void PlaceControlsByTemplate();
    void PlaceWindow(QWidget* owner);
    void KeepStoredOuterSize();
    void BuildPlaceTable();
    // Lists the working directory, its files and the places, and puts the
    // cursor on the entry whose text is `select` (else on the first).
    void FillList(const std::string& select);
    void AddRows(unsigned filling);
    void LayOut(const QSize& client);
    void ShowWorkingDirectory();
    void SetListFont(const QFont& font);

    QListWidget* fileList_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* fontButton_ = nullptr;
    // The list text of the directory just left by [..], or empty.
    std::string returnMarker_;
    // The places, as built when the browser opened.
    std::vector<std::string> places_;
    struct Row {
        BrowserEntry entry;
        EntryTag tag;
    };
    // What the list shows once filled; it is filled a step at a time.
    std::vector<Row> rows_;
    std::string selectRaw_;
    unsigned filling_ = 0;  // counts the fills, so a step of an old one stops
    QFont listFont_;
    QSize templateSize_;
    QSize storedOuterSize_;  // valid until the real frame is known
    bool laidOut_ = false;   // until the first size change the template places hold
    bool closed_ = false;
};

}  // namespace chipbox::window
