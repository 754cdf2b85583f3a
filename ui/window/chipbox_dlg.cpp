// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/chipbox_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QShortcutEvent>
#include <QUrl>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/audio_stream.h"
#include "playback/hardsid_binding.h"
#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "playback/tune_loading.h"
#include "ui/common/rom_images.h"
#include "ui/common/tune_files.h"
#include "ui/common/ui_settings.h"
#include "playback/scope_feed.h"
#include "ui/common/collector_settings.h"
#include "ui/common/tune_summary.h"
#include "ui/window/about_dlg.h"
#include "ui/window/application_icon.h"
#include "ui/window/collection_documents.h"
#include "ui/window/dialog_units.h"
#include "ui/window/exit_status.h"
#include "ui/window/file_browse_dialog.h"
#include "ui/window/machine_offer.h"
#include "ui/window/message_boxes.h"
#include "ui/window/mixer.h"
#include "ui/window/playlist_window.h"
#include "ui/window/scope_window.h"
#include "ui/window/tool_window.h"
#include "ui/window/tooltip_ctrl.h"

namespace chipbox::window {

namespace {

// Places in dialog units: x, y, width, height.
constexpr QRect WINDOW_SIZE{0, 0, 182, 75};
constexpr QRect INFO_GROUP{5, 0, 120, 45};
constexpr QRect NAME_LABEL{10, 10, 25, 10};
constexpr QRect AUTHOR_LABEL{10, 20, 25, 10};
constexpr QRect RELEASED_LABEL{10, 30, 25, 10};
constexpr QRect NAME_FIELD{40, 10, 80, 9};
constexpr QRect AUTHOR_FIELD{40, 20, 80, 9};
constexpr QRect RELEASED_FIELD{40, 30, 80, 9};
constexpr QRect SUBSONG_GROUP{128, 0, 50, 45};
constexpr QRect NEXT_BUTTON{136, 9, 35, 11};
constexpr QRect SUBSONG_FIELD{138, 20, 30, 10};
constexpr QRect PREVIOUS_BUTTON{136, 31, 35, 11};
constexpr QRect OPEN_BUTTON{10, 50, 45, 13};
constexpr QRect PLAY_BUTTON{73, 50, 40, 13};
constexpr QRect STOP_BUTTON{132, 50, 40, 13};
constexpr QRect CPU_BAR{7, 66, 99, 6};
constexpr QRect HARDSID_BOX{110, 64, 65, 10};

// How often the window looks whether the tune playing wants the complete
// machine.
constexpr int WATCH_MS = 100;

// What the fields show before a tune is loaded.
constexpr const char* INITIAL_NAME = "Chipbox";
constexpr const char* INITIAL_AUTHOR = "the Chipbox developers";
constexpr const char* INITIAL_RELEASED = "2026";
constexpr const char* INITIAL_SUBSONG = "1 of 1";

// A notification of the sound device, carried to the window's thread.
class StreamNotification final : public QEvent {
public:
    explicit StreamNotification(const StreamEvent& streamEvent)
        : QEvent(EventType()), event(streamEvent) {}
    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const StreamEvent event;
};

// A static text: plain (an ampersand shows as one), centred, from the top.
QLabel* StaticText(QWidget* parent, const QString& text, const QRect& place,
                   const char* name = "") {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setGeometry(place);
    return label;
}

// Paths are bytes in the file system's encoding; texts of ours are UTF-8.
QString PathText(const std::string& text) {
    return QFile::decodeName(QByteArray::fromStdString(text));
}

std::string FirstLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return QFile::encodeName(url.toLocalFile()).toStdString();
    return {};
}

}  // namespace

CChipboxDlg::CChipboxDlg(SettingsStore& settings, MessageBoxes& messages)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      settings_(settings),
      messages_(messages),
      connection_(*this, *this) {
    setWindowTitle(QString::fromLatin1(PROGRAM_CAPTION));
    setAcceptDrops(true);
    CreateActions();
    CreateMenu();
    CreateControls();
    SetTabOrder();
    toolTips_ = new CMyToolTipCtrl(this);
    toolTips_->setObjectName(QStringLiteral("toolTips"));
}

CChipboxDlg::~CChipboxDlg() = default;

QAction* CChipboxDlg::Command(const char* name, const QString& text, void (CChipboxDlg::*slot)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void CChipboxDlg::CreateActions() {
    openAction_ = Command("openAction", QStringLiteral("&Open"), &CChipboxDlg::OpenFileBrowser);
    playPauseAction_ =
        Command("playPauseAction", QStringLiteral("&Play"), &CChipboxDlg::PlayOrPause);
    stopAction_ = Command("stopAction", QStringLiteral("&Stop"), &CChipboxDlg::Stop);
    nextAction_ = Command("nextAction", QStringLiteral("&Next"), &CChipboxDlg::NextSong);
    previousAction_ =
        Command("previousAction", QStringLiteral("Pre&vious"), &CChipboxDlg::PreviousSong);
    switchOutputAction_ = Command("switchOutputAction", QStringLiteral("&Hardsid Support"),
                                  &CChipboxDlg::SwitchOutput);
    mixerAction_ = Command("mixerAction", QStringLiteral("&Mixer"), &CChipboxDlg::OpenMixer);
    songInformationAction_ = Command("songInformationAction", QStringLiteral("Song &Information"),
                                     &CChipboxDlg::ShowSongInformation);
    aboutAction_ =
        Command("aboutAction", QString::fromUtf8(ABOUT_ITEM_TEXT), &CChipboxDlg::ShowAbout);
    completeMachineAction_ = new QAction(QStringLiteral("&Complete Machine"), this);
    completeMachineAction_->setObjectName(QStringLiteral("completeMachineAction"));
    completeMachineAction_->setCheckable(true);
    completeMachineAction_->setToolTip(QString::fromUtf8(COMPLETE_MACHINE_TIP));
    connect(completeMachineAction_, &QAction::triggered, this, &CChipboxDlg::SetCompleteMachine);
    playlistAction_ =
        Command("playlistAction", QStringLiteral("P&laylist"), &CChipboxDlg::OpenPlaylist);
    scopeAction_ = Command("scopeAction", QStringLiteral("S&cope"), &CChipboxDlg::OpenScope);
    const int speeds[] = {1, 2, 4};
    for (int i = 0; i < 3; ++i) {
        const int speed = speeds[i];
        speedActions_[i] = new QAction(QStringLiteral("  %1x  ").arg(speed), this);
        speedActions_[i]->setObjectName(QStringLiteral("speed%1xAction").arg(speed));
        connect(speedActions_[i], &QAction::triggered, this, [this, speed] { SetSpeed(speed); });
    }
}

void CChipboxDlg::CreateMenu() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    menuBar_->setNativeMenuBar(false);  // the menu belongs in the window
    QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open Sid File"))->setEnabled(false);
    file->menuAction()->setEnabled(false);
    QMenu* view = menuBar_->addMenu(QStringLiteral("&View"));
    view->addAction(mixerAction_);
    view->addSeparator();
    view->addAction(songInformationAction_);
    view->addSeparator();
    view->addAction(completeMachineAction_);
    view->setToolTipsVisible(true);
    view->addSeparator();
    view->addAction(playlistAction_);
    view->addAction(scopeAction_);

    // A menu bar has no right-justified items; a second bar in its right
    // corner holds them.
    speedBar_ = new QMenuBar(menuBar_);
    speedBar_->setObjectName(QStringLiteral("speedBar"));
    speedBar_->setNativeMenuBar(false);
    for (QAction* speed : speedActions_) speedBar_->addAction(speed);
    speedBar_->addMenu(QStringLiteral("&Info"));
    menuBar_->setCornerWidget(speedBar_, Qt::TopRightCorner);
    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("contextMenu"));

    // A button's mnemonic that a menu title shares ("Pre&vious", "&View")
    // presses the button, as in any dialog.
    menuBar_->installEventFilter(this);
    speedBar_->installEventFilter(this);
}

void CChipboxDlg::CreateControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFont(DialogFont());
    const DialogPlacer place(client_->font());

    (new QGroupBox(QStringLiteral("Info"), client_))->setGeometry(place(INFO_GROUP));
    StaticText(client_, QStringLiteral("Name:"), place(NAME_LABEL));
    StaticText(client_, QStringLiteral("Author:"), place(AUTHOR_LABEL));
    StaticText(client_, QStringLiteral("(c):"), place(RELEASED_LABEL));
    nameField_ =
        StaticText(client_, QString::fromUtf8(INITIAL_NAME), place(NAME_FIELD), "nameField");
    authorField_ =
        StaticText(client_, QString::fromUtf8(INITIAL_AUTHOR), place(AUTHOR_FIELD), "authorField");
    releasedField_ = StaticText(client_, QString::fromUtf8(INITIAL_RELEASED), place(RELEASED_FIELD),
                                "releasedField");
    (new QGroupBox(QStringLiteral("Subsong"), client_))->setGeometry(place(SUBSONG_GROUP));

    // A button presses its command's action; it has the action's text.
    auto button = [this, &place](const char* name, QAction* command, const QRect& units) {
        auto* pushButton = new QPushButton(command->text(), client_);
        pushButton->setObjectName(QString::fromLatin1(name));
        pushButton->setGeometry(place(units));
        pushButton->setAutoDefault(false);  // no default button; Enter is ours
        pushButton->installEventFilter(this);
        connect(pushButton, &QPushButton::clicked, command, &QAction::trigger);
        return pushButton;
    };
    nextButton_ = button("nextButton", nextAction_, NEXT_BUTTON);
    subsongField_ = StaticText(client_, QString::fromUtf8(INITIAL_SUBSONG), place(SUBSONG_FIELD),
                               "subsongField");
    previousButton_ = button("previousButton", previousAction_, PREVIOUS_BUTTON);
    openButton_ = button("openButton", openAction_, OPEN_BUTTON);
    playPauseButton_ = button("playPauseButton", playPauseAction_, PLAY_BUTTON);
    stopButton_ = button("stopButton", stopAction_, STOP_BUTTON);

    cpuBar_ = new QProgressBar(client_);
    cpuBar_->setObjectName(QStringLiteral("cpuBar"));
    cpuBar_->setRange(0, 100);
    cpuBar_->setValue(0);
    cpuBar_->setTextVisible(false);
    cpuBar_->setGeometry(place(CPU_BAR));

    hardSidBox_ = new QCheckBox(switchOutputAction_->text(), client_);
    hardSidBox_->setObjectName(QStringLiteral("hardSidBox"));
    hardSidBox_->setGeometry(place(HARDSID_BOX));
    connect(hardSidBox_, &QCheckBox::clicked, switchOutputAction_, &QAction::trigger);

    const QSize clientSize = place(WINDOW_SIZE).size();
    const int menuHeight = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, clientSize.width(), menuHeight);
    client_->setGeometry(0, menuHeight, clientSize.width(), clientSize.height());
    setFixedSize(clientSize.width(), menuHeight + clientSize.height());
}

void CChipboxDlg::SetTabOrder() {
    QWidget::setTabOrder(openButton_, playPauseButton_);
    QWidget::setTabOrder(playPauseButton_, hardSidBox_);
    QWidget::setTabOrder(hardSidBox_, stopButton_);
    QWidget::setTabOrder(stopButton_, nextButton_);
    QWidget::setTabOrder(nextButton_, previousButton_);
}

// The real machine's ROM images, video standard and SID chip, as the settings name
// them; an image that cannot be taken is told and left out.
void CChipboxDlg::UseRealMachineSettings(const StartSettings& start) {
    const ReadRoms roms = ReadRomImages({start.kernalRom, start.basicRom, start.characterRom});
    for (const std::string& problem : roms.problems) ShowMessage(problem, "ROM images");
    SetRomImages(roms.images);
    SetVideoChoice(start.videoStandard == "PAL"    ? VideoChoice::Pal
                   : start.videoStandard == "NTSC" ? VideoChoice::Ntsc
                                                   : VideoChoice::FromTune);
    SetSidChoice(start.sidModel == "6581"   ? SidChoice::Mos6581
                 : start.sidModel == "8580" ? SidChoice::Mos8580
                                            : SidChoice::FromTune);
}

void CChipboxDlg::OnInitDialog() {
    // The About item, where a Linux window can offer it: in the bar's "&Info"
    // pop-up and in the window's context menu.
    speedBar_->actions().constLast()->menu()->addAction(aboutAction_);
    contextMenu_->addAction(aboutAction_);

    setWindowIcon(ApplicationIcon());

    const StartSettings start = settings_.ReadStart();
    SetMachineModel(start.completeMachine ? MachineModel::Complete : MachineModel::Default);
    completeMachineAction_->setChecked(start.completeMachine);
    UseRealMachineSettings(start);
    hardSidBox_->setChecked(start.hardSidSupport);
    if (hardSidBox_->isChecked() && !HardSidBound()) BindCard();
    SetOutput(hardSidBox_->isChecked() ? Output::HardSid : Output::Software);

    KeepStartSettings(start, uiSettings);
    if (start.playerX >= 0) move(start.playerX, start.playerY);
    // A folder that is gone leaves the working directory as it was.
    std::error_code ignored;
    if (!start.directory.empty()) std::filesystem::current_path(start.directory, ignored);

    // Loading records the path as the one to keep, loaded or not.
    if (!commandLinePath_.empty())
        LoadTune(commandLinePath_, true);
    else if (!start.lastTune.empty())
        LoadTune(start.lastTune, false);

    toolTips_->AddControlTool(hardSidBox_, HARDSID_TOOL_TEXT);
    toolTips_->AddControlTool(cpuBar_, CPU_BAR_TOOL_TEXT);

    CreateCollectorWindows();
    openButton_->setFocus();
}

void CChipboxDlg::CreateCollectorWindows() {
    collectorSettings = settings_.ReadCollector();
    documents_ = new CollectionDocuments(this);
    playlist_ = new CPlaylist(this, *documents_, settings_.PlaylistFilePath());
    silence_ = std::make_unique<SilenceWatch>();
    connect(this, &CChipboxDlg::tuneChanged, this, [this] {
        currentMd5_ = ReadTuneSummary(currentTunePath).md5;
        documents_->UseFor(currentTunePath);
        if (offer_) offer_->close();
    });
    watch_ = new QTimer(this);
    connect(watch_, &QTimer::timeout, this, &CChipboxDlg::WatchTune);
    watch_->start(WATCH_MS);
    seekTimer_ = new QTimer(this);
    connect(seekTimer_, &QTimer::timeout, this, &CChipboxDlg::ContinueSeeking);
    // Set up after the tune above was loaded: its texts are already shown.
    if (!currentTunePath.empty()) emit tuneChanged();
}

void CChipboxDlg::SetCompleteMachine(bool on) {
    if (closing_) return;
    completeMachineAction_->setChecked(on);
    ChooseMachineModel(on ? MachineModel::Complete : MachineModel::Default);
    settings_.WriteCompleteMachine(on);
}

void CChipboxDlg::OpenPlaylist() {
    if (closing_ || playlist_ == nullptr) return;
    if (playlist_->isVisible())
        FocusToolWindow(playlist_);
    else
        playlist_->ShowWindow();
}

void CChipboxDlg::OpenScope() {
    if (closing_) return;
    if (CScope* open = scope())
        FocusToolWindow(open);
    else
        scope_ = new CScope(this);
}

CScope* CChipboxDlg::scope() const { return scope_ && scope_->isVisible() ? scope_.data() : nullptr; }

CMachineOffer* CChipboxDlg::machineOffer() const {
    return offer_ && offer_->isVisible() ? offer_.data() : nullptr;
}

std::optional<std::uint32_t> CChipboxDlg::KnownSongLength() const {
    if (documents_ == nullptr || currentMd5_.empty()) return std::nullopt;
    return documents_->SongLength(currentMd5_, tuneInfo.currentSong);
}

void CChipboxDlg::WatchTune() {
    if (closing_ || silence_ == nullptr) return;
    if (silence_->Check(currentTunePath)) OfferCompleteMachine();
}

void CChipboxDlg::OfferCompleteMachine() {
    QStringList used;
    if (defaultModelShortfall.undocumentedOpcode) used << QStringLiteral("undocumented opcodes");
    if (defaultModelShortfall.sidMirrorStore) used << QStringLiteral("the SID's mirrors");
    const QString reason = used.join(QStringLiteral(" and "));
    if (playlist_ != nullptr && playlist_->isVisible())
        playlist_->ShowNotice(QString::fromUtf8(MACHINE_OFFER_TEXT).arg(reason));
    if (offer_) offer_->close();
    offer_ = new CMachineOffer(this, reason);
    connect(offer_, &CMachineOffer::taken, this, &CChipboxDlg::TakeCompleteMachineOffer);
}

void CChipboxDlg::TakeCompleteMachineOffer() {
    if (closing_) return;
    SetCompleteMachine(true);
    const int song = tuneInfo.currentSong;
    StartSong(song);
}

void CChipboxDlg::SeekTo(std::int64_t micros) {
    if (closing_) return;
    BeginSeek(micros);
    if (Seeking()) seekTimer_->start(0);
}

// A buffer's worth at a time: the window's thread goes back to its events
// between them.
void CChipboxDlg::ContinueSeeking() {
    if (!ContinueSeek(1)) return;
    seekTimer_->stop();
    emit seeked(playerState.tuneMicros);
}

void CChipboxDlg::NextTuneOrSong() {
    if (playlist_ == nullptr || !playlist_->PlayNextTune()) NextSong();
}

void CChipboxDlg::PreviousTuneOrSong() {
    if (playlist_ == nullptr || !playlist_->PlayPreviousTune()) PreviousSong();
}

void CChipboxDlg::PlayOrPause() {
    if (!closing_) PlayPauseCommand();
}

void CChipboxDlg::Stop() {
    if (!closing_) StopPlayback();
}

void CChipboxDlg::NextSong() {
    if (!closing_) ChangeSong(+1);
}

void CChipboxDlg::PreviousSong() {
    if (!closing_) ChangeSong(-1);
}

void CChipboxDlg::SetSpeed(int speed) {
    if (!closing_) SetPlaybackSpeed(speed);
}

void CChipboxDlg::SwitchOutput() {
    if (closing_) return;
    StopPlayback();
    if (hardSidBox_->isChecked() && !HardSidBound()) BindCard();
    SetOutput(hardSidBox_->isChecked() ? Output::HardSid : Output::Software);
}

void CChipboxDlg::BindCard() {
    switch (BindHardSid()) {
        case HardSidBindResult::Bound: return;
        case HardSidBindResult::NotFound:
            ShowBox(this, QString::fromUtf8(HARDSID_NOT_FOUND_TEXT),
                    QString::fromUtf8(HARDSID_NOT_FOUND_CAPTION), MessageIcon::Exclamation);
            break;
        case HardSidBindResult::Corrupt:
            ShowBox(this, QString::fromUtf8(HARDSID_CORRUPT_TEXT),
                    QString::fromUtf8(PROGRAM_CAPTION), MessageIcon::Exclamation);
            break;
    }
    hardSidBox_->setChecked(false);
}

// A closed tool window is hidden at once and deleted later; only a visible
// one counts as open.
CFileBrowseDialog* CChipboxDlg::fileBrowser() const {
    return fileBrowser_ && fileBrowser_->isVisible() ? fileBrowser_.data() : nullptr;
}

CMixer* CChipboxDlg::mixer() const {
    return mixer_ && mixer_->isVisible() ? mixer_.data() : nullptr;
}

void CChipboxDlg::OpenFileBrowser() {
    if (closing_) return;
    if (CFileBrowseDialog* open = fileBrowser())
        FocusToolWindow(open);
    else
        fileBrowser_ = new CFileBrowseDialog(this);
}

void CChipboxDlg::OpenMixer() {
    if (closing_) return;
    if (CMixer* open = mixer())
        FocusToolWindow(open);
    else
        mixer_ = new CMixer(this);
}

void CChipboxDlg::ShowSongInformation() {
    if (closing_) return;
    ShowBox(this, QString::fromLatin1(SongInformationText()),
            QString::fromUtf8(SONG_INFORMATION_CAPTION), MessageIcon::Information);
}

void CChipboxDlg::ShowAbout() {
    if (closing_ || openBoxes_ > 0) return;
    CAboutDlg about(this);
    ++openBoxes_;
    about.exec();
    BoxClosed();
}

void CChipboxDlg::ShowBox(QWidget* owner, const QString& text, const QString& caption,
                          MessageIcon icon, const QString& detail) {
    if (openBoxes_ > 0) return;  // the box that is open has the user's attention
    ++openBoxes_;
    messages_.Show(owner, text, caption, icon, detail);
    BoxClosed();
}

// Queued rather than called: a box shown by that load would otherwise open
// one call deeper for every path that waited.
void CChipboxDlg::BoxClosed() {
    --openBoxes_;
    if (waitingHandOver_)
        QMetaObject::invokeMethod(this, &CChipboxDlg::LoadWaitingHandOver, Qt::QueuedConnection);
}

void CChipboxDlg::ReceiveHandOver(const std::string& path) {
    if (closing_) return;
    if (path.empty()) {
        BringToFront();
        return;
    }
    waitingHandOver_ = path;
    if (openBoxes_ == 0) LoadWaitingHandOver();
}

void CChipboxDlg::LoadWaitingHandOver() {
    if (!waitingHandOver_ || openBoxes_ > 0 || closing_) return;
    const std::string path = std::move(*waitingHandOver_);
    waitingHandOver_.reset();
    LoadTune(path, true);
}

void CChipboxDlg::BringToFront() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void CChipboxDlg::SetPlayButtonText(const std::string& text) {
    playPauseAction_->setText(QString::fromLatin1(text));
    playPauseButton_->setText(playPauseAction_->text());
    emit shownStateChanged();
}

void CChipboxDlg::SetCpuLoad(int percent) { cpuBar_->setValue(percent); }

void CChipboxDlg::SetSubsongText(const std::string& text) {
    subsongField_->setText(QString::fromLatin1(text));
    emit shownStateChanged();
}

void CChipboxDlg::SetTitle(const std::string& title) { setWindowTitle(PathText(title)); }

void CChipboxDlg::SetTuneTexts(const std::string& name, const std::string& author,
                               const std::string& released) {
    tuneName_ = QString::fromLatin1(name);
    tuneAuthor_ = QString::fromLatin1(author);
    nameField_->setText(tuneName_);
    authorField_->setText(tuneAuthor_);
    releasedField_->setText(QString::fromLatin1(released));
    emit tuneChanged();
}

void CChipboxDlg::ShowMessage(const std::string& text, const std::string& caption) {
    ShowBox(this, PathText(text), QString::fromUtf8(caption), MessageIcon::Exclamation);
}

// Queued behind everything already posted to the window, as the restart
// after loading or after a subsong change must be.
void CChipboxDlg::PostPlayCommand() {
    QMetaObject::invokeMethod(playPauseAction_, &QAction::trigger, Qt::QueuedConnection);
}

// The box belongs to no window: the program ends once it is dismissed. The
// sound system's reason is its detailed text.
void CChipboxDlg::ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                         const std::string& reason) {
    if (!reason.empty()) std::fprintf(stderr, "chipbox: %s\n", reason.c_str());
    ShowBox(nullptr, QString::fromUtf8(text), QString::fromUtf8(caption), MessageIcon::Exclamation,
            QString::fromLocal8Bit(reason));
    emit quitRequested(EXIT_NO_SOUND_DEVICE);
}

void CChipboxDlg::Post(StreamEvent streamEvent) {
    QCoreApplication::postEvent(this, new StreamNotification(streamEvent));
}

bool CChipboxDlg::event(QEvent* event) {
    if (event->type() == StreamNotification::EventType()) {
        HandleStreamEvent(static_cast<StreamNotification*>(event)->event);
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Enter presses the button that has the focus and nothing else; it
        // never closes the window.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
                focused && focused->isEnabled())
                focused->click();
            return true;
        }
    }
    return QDialog::event(event);
}

bool CChipboxDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        const auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->isAmbiguous()) {
            for (QPushButton* candidate : client_->findChildren<QPushButton*>()) {
                if (candidate->shortcut() == shortcut->key() && candidate->isEnabled()) {
                    candidate->click();
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CChipboxDlg::contextMenuEvent(QContextMenuEvent* event) {
    contextMenu_->popup(event->globalPos());
}

void CChipboxDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstLocalFile(event->mimeData()).empty()) event->acceptProposedAction();
}

// Of several files only the first is played.
void CChipboxDlg::dropEvent(QDropEvent* event) {
    const std::string path = FirstLocalFile(event->mimeData());
    if (path.empty()) return;
    event->acceptProposedAction();
    LoadTune(path, true);
}

void CChipboxDlg::reject() {
    if (closing_) return;
    closing_ = true;
    if (watch_ != nullptr) watch_->stop();
    if (seekTimer_ != nullptr) seekTimer_->stop();
    ExitPlayback();
    ExitSettings exit;
    FillExitSettings(uiSettings, exit);
    exit.directory = WorkingDirectory();
    exit.playerX = frameGeometry().x();
    exit.playerY = frameGeometry().y();
    exit.lastTune = currentTunePath;
    exit.hardSidSupport = CurrentOutput() == Output::HardSid;
    settings_.WriteExit(exit);
    if (playlist_ != nullptr) {
        if (playlist_->isVisible()) playlist_->close();
        playlist_->SaveList();
        settings_.WriteCollector(collectorSettings);
    }
    QDialog::reject();
}

}  // namespace chipbox::window
