// SPDX-License-Identifier: GPL-2.0-or-later
// "Chipbox Playlist": the tunes of folders, files and M3U lists, each with
// its texts, songs and song lengths. Double-click (or Enter) plays a tune;
// at the end of a song's length the next song plays (every subsong of a
// tune, or only its start song), then the next tune, with repeat and
// shuffle. The playlist runs whenever the tune playing is one of its own,
// however it was started, and goes on while its window is closed. The list
// is kept in an M3U file beside the settings and restored at start.
//
// Its controls carry object names ("tuneList", "timeLabel", ...) by which
// the tests find them.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/common/playlist_order.h"
#include "ui/common/tune_summary.h"

class QAction;
class QCheckBox;
class QLabel;
class QProgressBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace chipbox::window {

class CollectionDocuments;
class TuneHeaderReader;

inline constexpr const char* PLAYLIST_CAPTION = "Chipbox Playlist";

class CPlaylist final : public QDialog {
    Q_OBJECT
public:
    // `listPath` is where the list is kept (empty: nowhere); it is read at
    // once. The window is not shown until ShowWindow.
    CPlaylist(QWidget* owner, CollectionDocuments& documents, std::string listPath);
    ~CPlaylist() override;

    // Shows the window where it was last, or beside the owner.
    void ShowWindow();

    // Adds files, folders (with their subfolders) and M3U lists, read on
    // the reader's thread.
    void Add(std::vector<std::string> inputs);
    void Clear();
    // Plays song `song` of the tune at `index` (its first song by the
    // subsong setting when none is given).
    void PlayEntry(std::size_t index, std::optional<int> song = std::nullopt);
    // The tune playing is one of the list's.
    bool Runs() const;
    // The next or previous tune, when the list runs; false otherwise.
    bool PlayNextTune();
    bool PlayPreviousTune();
    // The length of the song playing when the list knows it from a song
    // length file (not the default).
    std::optional<std::uint32_t> KnownSongLength() const;
    // The length it plays for: known or the default.
    std::uint32_t PlayingSongLength() const;

    // Moves on when the song heard has reached its length; shows the time.
    // Called by the window's clock, and by tests.
    void Tick();
    // Writes the list into its file; false when that failed.
    bool SaveList();
    // Shows `text` in the status line until the next tune (empty: the
    // list's own status).
    void ShowNotice(const QString& text);

    std::size_t size() const { return tunes_.size(); }
    const TuneSummary& tune(std::size_t index) const { return tunes_[index]; }
    QTreeWidget* tuneList() const { return list_; }
    QLabel* timeLabel() const { return time_; }
    QProgressBar* progressBar() const { return progress_; }
    QLabel* statusLine() const { return status_; }
    QLabel* stilText() const { return stil_; }
    QCheckBox* allSubsongsBox() const { return allSubsongs_; }
    QCheckBox* repeatBox() const { return repeat_; }
    QCheckBox* shuffleBox() const { return shuffle_; }
    TuneHeaderReader& reader() const { return *reader_; }
    // The longest a batch of read tunes held the window's thread, in
    // microseconds.
    std::int64_t longestBatchMicros() const { return longestBatchMicros_; }

signals:
    // Tunes were added or read; the list is complete when the reader is idle.
    void listChanged();
    // The list started another song or tune.
    void songStarted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    QAction* Command(const QString& text, const QKeySequence& key, void (CPlaylist::*slot)());
    void AddFiles();
    void AddFolder();
    void OpenList();
    void ChooseSongLengths();
    void RemoveSelected();
    void TakeTunes(const std::vector<TuneSummary>& tunes, bool last);
    void NextTuneCommand();
    void PreviousTuneCommand();
    void Advance();
    std::optional<std::size_t> PlayingIndex() const;
    std::vector<PlaylistTuneSongs> Songs() const;
    void ShowRow(std::size_t index);
    void ShowPlaying();
    void ShowTime();
    void ShowStil();
    void ShowStatus();
    QString LengthsText(const TuneSummary& tune) const;

    CollectionDocuments& documents_;
    std::string listPath_;
    std::vector<std::string> savedPaths_;  // as the list's file holds them
    TuneHeaderReader* reader_ = nullptr;
    std::vector<TuneSummary> tunes_;
    PlaylistOrder order_;
    std::optional<std::size_t> marked_;  // the row shown as playing
    std::optional<std::size_t> chosen_;  // the row played last
    int markedSong_ = -1;
    std::string noticeFor_;  // the tune a notice belongs to
    QString notice_;
    bool reading_ = false;
    std::int64_t longestBatchMicros_ = 0;

    QTreeWidget* list_ = nullptr;
    QLabel* time_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* stil_ = nullptr;
    QCheckBox* allSubsongs_ = nullptr;
    QCheckBox* repeat_ = nullptr;
    QCheckBox* shuffle_ = nullptr;
    QTimer* clock_ = nullptr;
};

}  // namespace chipbox::window
