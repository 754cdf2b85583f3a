// SPDX-License-Identifier: GPL-2.0-or-later
// The main window: the tune's texts, the subsong, the buttons, the HardSID
// box, the CPU-load bar and the menu. Each command is one QAction, which its
// button, menu item and the desktop's media controls trigger alike; the
// commands only call the player engine, loading and the HardSID binding: the
// window holds no playback logic.
//
// Its controls and actions carry object names ("playPauseButton",
// "playPauseAction", "nameField", ...), by which the tests find them.
//
// It is the engine's view and the target of the sound device's notifications:
// those arrive from the sound thread as posted events, so the refills, the
// rendering and the bar run on this window's thread.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio_device.h"
#include "playback/player_engine.h"
#include "playback/player_view.h"
#include "ui/common/ui_settings.h"
#include "ui/window/message_boxes.h"
#include "ui/window/silence_watch.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTimer;

namespace chipbox {
class SettingsStore;
}

namespace chipbox::window {

class CFileBrowseDialog;
class CMachineOffer;
class CMixer;
class CMyToolTipCtrl;
class CPlaylist;
class CScope;
class CollectionDocuments;

inline constexpr const char* HARDSID_TOOL_TEXT = "Native HardSID soundcard support";
inline constexpr const char* CPU_BAR_TOOL_TEXT = "C64 CPU utilization";
inline constexpr const char* ABOUT_ITEM_TEXT = "Inf&o über Chipbox...";
inline constexpr const char* SONG_INFORMATION_CAPTION = "Song Information";
inline constexpr const char* COMPLETE_MACHINE_TIP = "Takes effect when the next tune starts";

class CChipboxDlg final : public QDialog, public PlayerView, public StreamEventTarget {
    Q_OBJECT
public:
    // Connects itself to the player engine. The store is read at
    // initialisation and written at closing; both must outlive the window.
    CChipboxDlg(SettingsStore& settings, MessageBoxes& messages);
    ~CChipboxDlg() override;

    // The path given to this start, already cut and made absolute.
    void SetCommandLinePath(std::string path) { commandLinePath_ = std::move(path); }

    // Reads the settings, binds the card if it was on, loads the command-line
    // tune (playing it) or else the last tune (not playing it), and sets up
    // the tooltips, in this order.
    void OnInitDialog();
    void UseRealMachineSettings(const StoredSettings& start);

    // A path handed over by a later start or the desktop: load and play it,
    // or, when empty, bring the window to the front. While a message box is
    // open the path waits, and only the latest one that waited is loaded
    // once the box is closed, so that a stream of broken files shows one box
    // at a time.
    void ReceiveHandOver(const std::string& path);
    // Shows the window on top, restoring it when minimized; it keeps its
    // place and size.
    void BringToFront();

    // PlayerView
    void SetPlayButtonText(const std::string& text) override;
    void SetCpuLoad(int percent) override;
    void SetSubsongText(const std::string& text) override;
    void SetTitle(const std::string& title) override;
    void SetTuneTexts(const std::string& name, const std::string& author,
                      const std::string& released) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void PostPlayCommand() override;
    void ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                const std::string& reason) override;

    // StreamEventTarget: called on the sound thread.
    void Post(StreamEvent event) override;

    // The window has been closed (by the user, the desktop or a signal): it
    // takes no more commands.
    bool closing() const { return closing_; }

    // The tune as shown, for the desktop's media controls.
    const QString& tuneName() const { return tuneName_; }
    const QString& tuneAuthor() const { return tuneAuthor_; }

    // The tool windows while they are open, else null.
    CFileBrowseDialog* fileBrowser() const;
    CMixer* mixer() const;
    CScope* scope() const;
    CMachineOffer* machineOffer() const;
    // The playlist exists from initialisation on, shown or not.
    CPlaylist* playlist() const { return playlist_; }
    CollectionDocuments& documents() const { return *documents_; }

    // The song length of the song playing, when a song length file knows it.
    std::optional<std::uint32_t> KnownSongLength() const;
    // Moves the song playing to `micros` of song time; seeked follows.
    void SeekTo(std::int64_t micros);
    // The desktop's Next and Previous: the playlist's tunes while it runs,
    // else the subsongs.
    void NextTuneOrSong();
    void PreviousTuneOrSong();

signals:
    // What the window shows of the play state or the subsong was set; the
    // engine's state may still be changing until the current command ends.
    void shownStateChanged();
    // A tune was loaded and its texts are shown.
    void tuneChanged();
    // A seek has reached `micros` and the sound goes on from there.
    void seeked(qlonglong micros);
    // The program has to end with `status`: the sound device could not be
    // opened.
    void quitRequested(int status);

public slots:
    // The close box, Escape and the desktop's Quit: playback ends, the
    // settings are written, the window closes.
    void reject() override;

    // The commands. Once the window is closing they do nothing.
    // Open: the file browser, or the keyboard focus for the open one.
    void OpenFileBrowser();
    void PlayOrPause();
    void Stop();
    void NextSong();
    void PreviousSong();
    // The HardSID box: playback stops, the card is bound when the box is
    // ticked and not yet bound (unticking it when that fails), and the output
    // follows the box. Playback is not restarted.
    void SwitchOutput();
    // View > Mixer: the mixer, or the keyboard focus for the open one.
    void OpenMixer();
    void ShowSongInformation();
    // View > Complete Machine: the choice for the next start, written at once.
    void SetCompleteMachine(bool on);
    // View > Playlist and View > Scope: the window, or the keyboard focus.
    void OpenPlaylist();
    void OpenScope();
    void SetSpeed(int speed);
    void ShowAbout();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // One action per command, connected to its slot.
    void CreateActions();
    QAction* Command(const char* name, const QString& text, void (CChipboxDlg::*slot)());
    void CreateControls();
    void CreateMenu();
    void SetTabOrder();
    // Binds the card library, telling the user and unticking the box when
    // that fails.
    void BindCard();
    // Every box the window shows goes through here; while one is open no
    // other is, and the count tells the loads that must wait.
    void ShowBox(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                 const QString& detail = {});
    // After a box: the path that waited meanwhile is loaded next, if any.
    void BoxClosed();
    void LoadWaitingHandOver();
    // The collector's windows: set up at initialisation, kept at closing.
    void CreateCollectorWindows();
    // Each tenth of a second: offers the complete machine to a tune that
    // plays silent without it.
    void WatchTune();
    void OfferCompleteMachine();
    void TakeCompleteMachineOffer();
    void ContinueSeeking();

    SettingsStore& settings_;
    MessageBoxes& messages_;
    // The engine shows what happens here until the window is destroyed.
    PlayerConnection connection_;
    std::string commandLinePath_;
    bool closing_ = false;
    int openBoxes_ = 0;
    std::optional<std::string> waitingHandOver_;  // the latest path that came while a box was open

    QAction* openAction_ = nullptr;
    QAction* playPauseAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* nextAction_ = nullptr;
    QAction* previousAction_ = nullptr;
    QAction* switchOutputAction_ = nullptr;
    QAction* mixerAction_ = nullptr;
    QAction* songInformationAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* completeMachineAction_ = nullptr;
    QAction* playlistAction_ = nullptr;
    QAction* scopeAction_ = nullptr;
    QAction* speedActions_[3] = {};  // 1x, 2x, 4x

    QWidget* client_ = nullptr;  // the area under the menu bar
    QMenuBar* menuBar_ = nullptr;
    QMenuBar* speedBar_ = nullptr;  // the items at the right edge of the bar
    QMenu* contextMenu_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* playPauseButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* previousButton_ = nullptr;
    QCheckBox* hardSidBox_ = nullptr;
    QProgressBar* cpuBar_ = nullptr;
    QLabel* nameField_ = nullptr;
    QLabel* authorField_ = nullptr;
    QLabel* releasedField_ = nullptr;
    QLabel* subsongField_ = nullptr;
    CMyToolTipCtrl* toolTips_ = nullptr;
    // Children of this window that delete themselves when they close.
    QPointer<CFileBrowseDialog> fileBrowser_;
    QPointer<CMixer> mixer_;
    QPointer<CScope> scope_;
    QPointer<CMachineOffer> offer_;
    CollectionDocuments* documents_ = nullptr;
    CPlaylist* playlist_ = nullptr;
    QTimer* watch_ = nullptr;
    QTimer* seekTimer_ = nullptr;
    std::unique_ptr<SilenceWatch> silence_;
    std::string currentMd5_;  // of the tune loaded, for its song lengths
    QString tuneName_;
    QString tuneAuthor_;
};

}  // namespace chipbox::window
