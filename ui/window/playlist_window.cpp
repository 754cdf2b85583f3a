// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/playlist_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/scope_feed.h"
#include "playback/tune_loading.h"
#include "ui/common/collector_settings.h"
#include "ui/common/m3u_file.h"
#include "ui/common/song_lengths.h"
#include "ui/window/collection_documents.h"
#include "ui/window/tool_window.h"
#include "ui/window/tune_header_reader.h"

namespace chipbox::window {

namespace {

enum Column { MARK, NAME, AUTHOR, RELEASED, SONGS, LENGTHS, COLUMNS };
constexpr int CLOCK_MS = 100;
// The window's first size, in characters and lines of its font.
constexpr int DEFAULT_COLUMNS = 90;
constexpr int DEFAULT_LINES = 28;
constexpr const char* PLAYING_MARK = "\u25B6";

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString Latin1(const std::string& text) { return QString::fromLatin1(text); }

QString TimeText(std::int64_t millis) {
    const std::int64_t seconds = std::max<std::int64_t>(millis, 0) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QCheckBox* Setting(QWidget* parent, const QString& text, const char* name, bool on) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(on);
    return box;
}

}  // namespace

CPlaylist::CPlaylist(QWidget* owner, CollectionDocuments& documents, std::string listPath)
    : QDialog(owner, Qt::Window), documents_(documents), listPath_(std::move(listPath)) {
    setObjectName(QStringLiteral("playlist"));
    setWindowTitle(QString::fromUtf8(PLAYLIST_CAPTION));
    setAcceptDrops(true);
    reader_ = new TuneHeaderReader(this);
    connect(reader_, &TuneHeaderReader::tunesRead, this, &CPlaylist::TakeTunes);
    connect(&documents_, &CollectionDocuments::documentsChanged, this, [this] {
        for (std::size_t i = 0; i < tunes_.size(); ++i) ShowRow(i);
        ShowStil();
        ShowStatus();
    });
    order_.SetAllSubsongs(collectorSettings.allSubsongs);
    order_.SetRepeat(collectorSettings.repeat);
    order_.SetShuffle(collectorSettings.shuffle);
    CreateControls();
    clock_ = new QTimer(this);
    connect(clock_, &QTimer::timeout, this, &CPlaylist::Tick);
    clock_->start(CLOCK_MS);
    if (!listPath_.empty() && QFile::exists(PathText(listPath_))) Add({listPath_});
}

CPlaylist::~CPlaylist() = default;

QAction* CPlaylist::Command(const QString& text, const QKeySequence& key,
                            void (CPlaylist::*slot)()) {
    auto* action = new QAction(text, this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
    return action;
}

void CPlaylist::CreateControls() {
    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString& text, const char* name, auto slot) {
        auto* pushButton = new QPushButton(text, this);
        pushButton->setObjectName(QString::fromLatin1(name));
        pushButton->setAutoDefault(false);
        connect(pushButton, &QPushButton::clicked, this, slot);
        buttons->addWidget(pushButton);
    };
    button(QStringLiteral("Add &Files..."), "addFilesButton", &CPlaylist::AddFiles);
    button(QStringLiteral("Add F&older..."), "addFolderButton", &CPlaylist::AddFolder);
    button(QStringLiteral("Open &List..."), "openListButton", &CPlaylist::OpenList);
    button(QStringLiteral("Song Len&gths..."), "songLengthsButton", &CPlaylist::ChooseSongLengths);
    button(QStringLiteral("&Remove"), "removeButton", &CPlaylist::RemoveSelected);
    button(QStringLiteral("&Clear"), "clearButton", &CPlaylist::Clear);
    buttons->addStretch();

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("tuneList"));
    list_->setColumnCount(COLUMNS);
    list_->setHeaderLabels({QString(), QStringLiteral("Name"), QStringLiteral("Author"),
                            QStringLiteral("Released"), QStringLiteral("Songs"),
                            QStringLiteral("Lengths")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionResizeMode(MARK, QHeaderView::ResizeToContents);
    list_->header()->setStretchLastSection(true);
    // In characters of the list's font, so that a larger font keeps them
    // readable.
    const int character = list_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    list_->setColumnWidth(NAME, 24 * character);
    list_->setColumnWidth(AUTHOR, 20 * character);
    list_->setColumnWidth(RELEASED, 16 * character);
    list_->setColumnWidth(SONGS, 7 * character);
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        PlayEntry(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)));
    });

    stil_ = new QLabel(this);
    stil_->setObjectName(QStringLiteral("stilText"));
    stil_->setTextFormat(Qt::PlainText);
    stil_->setWordWrap(true);
    stil_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* settings = new QHBoxLayout;
    allSubsongs_ = Setting(this, QStringLiteral("&All subsongs"), "allSubsongsBox",
                           collectorSettings.allSubsongs);
    allSubsongs_->setToolTip(QStringLiteral("Play every subsong of a tune before the next tune; "
                                            "otherwise only its start song"));
    repeat_ = Setting(this, QStringLiteral("R&epeat"), "repeatBox", collectorSettings.repeat);
    shuffle_ = Setting(this, QStringLiteral("S&huffle"), "shuffleBox", collectorSettings.shuffle);
    connect(allSubsongs_, &QCheckBox::toggled, this, [this](bool on) {
        collectorSettings.allSubsongs = on;
        order_.SetAllSubsongs(on);
    });
    connect(repeat_, &QCheckBox::toggled, this, [this](bool on) {
        collectorSettings.repeat = on;
        order_.SetRepeat(on);
    });
    connect(shuffle_, &QCheckBox::toggled, this, [this](bool on) {
        collectorSettings.shuffle = on;
        order_.SetShuffle(on);
        order_.Reset(tunes_.size(), PlayingIndex());
    });
    settings->addWidget(allSubsongs_);
    settings->addWidget(repeat_);
    settings->addWidget(shuffle_);
    settings->addStretch();
    time_ = new QLabel(QStringLiteral("0:00 / 0:00"), this);
    time_->setObjectName(QStringLiteral("timeLabel"));
    settings->addWidget(time_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progressBar"));
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(160);
    settings->addWidget(progress_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(list_, 1);
    layout->addWidget(stil_);
    layout->addLayout(settings);
    layout->addWidget(status_);

    Command(QStringLiteral("Next Tune"), QKeySequence(Qt::CTRL | Qt::Key_Right),
            &CPlaylist::NextTuneCommand);
    Command(QStringLiteral("Previous Tune"), QKeySequence(Qt::CTRL | Qt::Key_Left),
            &CPlaylist::PreviousTuneCommand);
    Command(QStringLiteral("Remove"), QKeySequence::Delete, &CPlaylist::RemoveSelected);
    list_->setToolTip(QStringLiteral("Double-click or Enter plays a tune; Ctrl+Right and "
                                     "Ctrl+Left play the next and previous tune"));
    resize(DEFAULT_COLUMNS * character, DEFAULT_LINES * fontMetrics().height());
    ShowStatus();
}

void CPlaylist::ShowWindow() {
    RestorePlace(this, collectorSettings.playlist, parentWidget());
    show();
    FocusToolWindow(this);
    list_->setFocus();
}

void CPlaylist::Add(std::vector<std::string> inputs) {
    reading_ = true;
    reader_->Read(std::move(inputs));
    ShowStatus();
}

void CPlaylist::Clear() {
    reader_->Cancel();
    reading_ = false;
    tunes_.clear();
    list_->clear();
    marked_.reset();
    chosen_.reset();
    order_.Reset(0, std::nullopt);
    SaveList();
    ShowStatus();
    emit listChanged();
}

// Each batch is shown at once; the time it takes is what the sound waits
// for at most.
void CPlaylist::TakeTunes(const std::vector<TuneSummary>& tunes, bool last) {
    QElapsedTimer held;
    held.start();
    list_->setUpdatesEnabled(false);
    for (const TuneSummary& tune : tunes) {
        tunes_.push_back(tune);
        auto* item = new QTreeWidgetItem(list_);
        item->setTextAlignment(SONGS, Qt::AlignRight | Qt::AlignVCenter);
        ShowRow(tunes_.size() - 1);
    }
    list_->setUpdatesEnabled(true);
    if (!tunes.empty() && !tunes_.empty()) documents_.UseFor(tunes_.front().path);
    if (last) {
        reading_ = false;
        order_.Reset(tunes_.size(), PlayingIndex());
        SaveList();
    }
    ShowStatus();
    longestBatchMicros_ = std::max<std::int64_t>(longestBatchMicros_, held.nsecsElapsed() / 1000);
    emit listChanged();
}

QString CPlaylist::LengthsText(const TuneSummary& tune) const {
    QStringList lengths;
    for (int song = 0; song < tune.songs; ++song) {
        const std::optional<std::uint32_t> millis = documents_.SongLength(tune.md5, song);
        lengths << (millis ? QString::fromStdString(SongLengthText(*millis)) : QStringLiteral("?"));
    }
    return lengths.join(QLatin1Char(' '));
}

void CPlaylist::ShowRow(std::size_t index) {
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(index));
    if (item == nullptr) return;
    const TuneSummary& tune = tunes_[index];
    const bool playing = marked_ == index;
    item->setText(MARK, playing ? QString::fromUtf8(PLAYING_MARK) : QString());
    if (!tune.readable) {
        item->setText(NAME, PathText(std::filesystem::path(tune.path).filename().string()));
        item->setText(AUTHOR, PathText(tune.problem));
        item->setDisabled(true);
        return;
    }
    item->setText(NAME, Latin1(tune.name));
    item->setText(AUTHOR, Latin1(tune.author));
    item->setText(RELEASED, Latin1(tune.released));
    item->setText(SONGS, playing ? QStringLiteral("%1/%2").arg(markedSong_ + 1).arg(tune.songs)
                                 : QString::number(tune.songs));
    item->setText(LENGTHS, LengthsText(tune));
    item->setToolTip(NAME, PathText(tune.path));
    QFont font = item->font(NAME);
    font.setBold(playing);
    for (int column = 0; column < COLUMNS; ++column) item->setFont(column, font);
}

std::optional<std::size_t> CPlaylist::PlayingIndex() const {
    if (currentTunePath.empty()) return std::nullopt;
    // The row played last first: of a tune listed twice, the one played.
    if (chosen_ && *chosen_ < tunes_.size() && tunes_[*chosen_].path == currentTunePath)
        return chosen_;
    for (std::size_t i = 0; i < tunes_.size(); ++i)
        if (tunes_[i].path == currentTunePath) return i;
    return std::nullopt;
}

bool CPlaylist::Runs() const { return PlayingIndex().has_value(); }

std::vector<PlaylistTuneSongs> CPlaylist::Songs() const {
    std::vector<PlaylistTuneSongs> songs;
    songs.reserve(tunes_.size());
    for (const TuneSummary& tune : tunes_)
        songs.push_back({tune.readable ? tune.songs : 0, tune.startSong});
    return songs;
}

void CPlaylist::PlayEntry(std::size_t index, std::optional<int> song) {
    if (index >= tunes_.size() || !tunes_[index].readable) return;
    const TuneSummary& tune = tunes_[index];
    const int first = song.value_or(order_.FirstSong({tune.songs, tune.startSong}));
    chosen_ = index;
    if (!LoadTune(tune.path, false).loaded()) return;
    StartSong(first);
    documents_.UseFor(tune.path);
    ShowPlaying();
    emit songStarted();
}

std::optional<std::uint32_t> CPlaylist::KnownSongLength() const {
    const std::optional<std::size_t> index = PlayingIndex();
    if (!index) return std::nullopt;
    return documents_.SongLength(tunes_[*index].md5, tuneInfo.currentSong);
}

std::uint32_t CPlaylist::PlayingSongLength() const {
    return KnownSongLength().value_or(collectorSettings.defaultLengthMillis);
}

void CPlaylist::Tick() {
    ShowPlaying();
    ShowTime();
    if (!Runs() || !playerState.playing || playerState.paused || Seeking()) return;
    const std::optional<std::int64_t> heard = HeardSongMicros();
    if (heard && *heard >= std::int64_t{PlayingSongLength()} * 1000) Advance();
}

void CPlaylist::Advance() {
    const std::optional<std::size_t> index = PlayingIndex();
    if (!index) return;
    const std::optional<PlaylistPlace> next =
        order_.AfterSong({*index, tuneInfo.currentSong}, Songs());
    if (next)
        PlayEntry(next->tune, next->song);
    else
        StopPlayback();
}

bool CPlaylist::PlayNextTune() {
    const std::optional<std::size_t> index = PlayingIndex();
    if (!index) return false;
    if (const auto next = order_.NextTune(*index, Songs())) PlayEntry(next->tune, next->song);
    return true;
}

bool CPlaylist::PlayPreviousTune() {
    const std::optional<std::size_t> index = PlayingIndex();
    if (!index) return false;
    if (const auto previous = order_.PreviousTune(*index, Songs()))
        PlayEntry(previous->tune, previous->song);
    return true;
}

void CPlaylist::NextTuneCommand() { PlayNextTune(); }
void CPlaylist::PreviousTuneCommand() { PlayPreviousTune(); }

void CPlaylist::ShowPlaying() {
    const std::optional<std::size_t> playing = PlayingIndex();
    const int song = playing ? tuneInfo.currentSong : -1;
    if (playing == marked_ && song == markedSong_) return;
    const std::optional<std::size_t> before = marked_;
    marked_ = playing;
    markedSong_ = song;
    if (before) ShowRow(*before);
    if (playing) {
        ShowRow(*playing);
        list_->scrollToItem(list_->topLevelItem(static_cast<int>(*playing)));
    }
    ShowStil();
    ShowStatus();
}

// A tune that is not in the list shows its time alone.
void CPlaylist::ShowTime() {
    const std::optional<std::int64_t> heard =
        playerState.playing ? HeardSongMicros() : std::nullopt;
    if (!heard || !Runs()) {
        time_->setText(heard ? TimeText(*heard / 1000) : QStringLiteral("0:00 / 0:00"));
        progress_->setValue(0);
        return;
    }
    const std::uint32_t length = PlayingSongLength();
    const QString lengthText = KnownSongLength() ? TimeText(length)
                                                 : QStringLiteral("(%1)").arg(TimeText(length));
    time_->setText(QStringLiteral("%1 / %2").arg(TimeText(*heard / 1000), lengthText));
    progress_->setValue(static_cast<int>(std::clamp<std::int64_t>(
        *heard / std::max<std::int64_t>(length, 1), 0, progress_->maximum())));
}

void CPlaylist::ShowStil() {
    const std::optional<std::size_t> playing = PlayingIndex();
    QStringList lines;
    if (playing) {
        for (const StilField& field : documents_.StilFor(tunes_[*playing].path, tuneInfo.currentSong)) {
            QString name = QString::fromLatin1(field.name).toLower();
            if (!name.isEmpty()) name[0] = name[0].toUpper();
            lines << QStringLiteral("%1: %2").arg(name, Latin1(field.text));
        }
    }
    stil_->setText(lines.join(QLatin1Char('\n')));
    stil_->setVisible(!lines.isEmpty());
}

void CPlaylist::ShowNotice(const QString& text) {
    notice_ = text;
    noticeFor_ = currentTunePath;
    ShowStatus();
}

void CPlaylist::ShowStatus() {
    if (!notice_.isEmpty() && noticeFor_ == currentTunePath) {
        status_->setText(notice_);
        return;
    }
    QString text = tunes_.size() == 1 ? QStringLiteral("1 tune")
                                      : QStringLiteral("%1 tunes").arg(tunes_.size());
    if (reading_) text += QStringLiteral(", reading...");
    const std::string& lengths = documents_.songLengthsPath();
    text += lengths.empty() ? QStringLiteral("; no song lengths found (unknown songs play %1)")
                                  .arg(TimeText(collectorSettings.defaultLengthMillis))
                            : QStringLiteral("; song lengths from %1").arg(PathText(lengths));
    status_->setText(text);
}

void CPlaylist::AddFiles() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Add Tunes"), QString(),
        QStringLiteral("SID tunes (*.sid *.SID);;Playlists (*.m3u *.m3u8);;All files (*)"));
    std::vector<std::string> inputs;
    for (const QString& file : files) inputs.push_back(PathBytes(file));
    if (!inputs.empty()) Add(std::move(inputs));
}

void CPlaylist::AddFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder"));
    if (!folder.isEmpty()) Add({PathBytes(folder)});
}

void CPlaylist::OpenList() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Playlist"), QString(),
        QStringLiteral("Playlists (*.m3u *.m3u8);;All files (*)"));
    if (file.isEmpty()) return;
    Clear();
    Add({PathBytes(file)});
}

void CPlaylist::ChooseSongLengths() {
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Song Length File"), QString(),
        QStringLiteral("Song lengths (Songlengths.md5 *.md5);;All files (*)"));
    if (file.isEmpty()) return;
    collectorSettings.songLengthsFile = PathBytes(file);
    documents_.Forget();
    if (!tunes_.empty()) documents_.UseFor(tunes_.front().path);
    ShowStatus();
}

void CPlaylist::RemoveSelected() {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems())
        rows.push_back(list_->indexOfTopLevelItem(item));
    std::sort(rows.rbegin(), rows.rend());
    for (const int row : rows) {
        delete list_->takeTopLevelItem(row);
        tunes_.erase(tunes_.begin() + row);
    }
    if (rows.empty()) return;
    marked_.reset();
    chosen_.reset();
    markedSong_ = -1;
    ShowPlaying();
    order_.Reset(tunes_.size(), PlayingIndex());
    SaveList();
    ShowStatus();
    emit listChanged();
}

// Only a list that changed is written: a user who never fills one gets no
// file.
bool CPlaylist::SaveList() {
    if (listPath_.empty() || reading_) return true;
    std::vector<std::string> paths;
    std::vector<M3uEntry> entries;
    for (const TuneSummary& tune : tunes_) {
        M3uEntry entry{tune.path, {}, std::nullopt};
        if (tune.readable) entry.title = tune.author + " - " + tune.name;
        entries.push_back(std::move(entry));
        paths.push_back(tune.path);
    }
    if (paths == savedPaths_ && (!paths.empty() || !QFile::exists(PathText(listPath_))))
        return true;
    int error = 0;
    if (!WriteM3u(listPath_, entries, error)) return false;
    savedPaths_ = std::move(paths);
    return true;
}

void CPlaylist::closeEvent(QCloseEvent* event) {
    RememberPlace(this, collectorSettings.playlist);
    hide();
    event->ignore();  // the list runs on without its window
}

void CPlaylist::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    RememberPlace(this, collectorSettings.playlist);
}

void CPlaylist::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    RememberPlace(this, collectorSettings.playlist);
}

void CPlaylist::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CPlaylist::dropEvent(QDropEvent* event) {
    std::vector<std::string> inputs;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) inputs.push_back(PathBytes(url.toLocalFile()));
    if (inputs.empty()) return;
    event->acceptProposedAction();
    Add(std::move(inputs));
}

// Escape hides the window as its close box does; Enter plays the current row.
void CPlaylist::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && list_->currentItem()) {
        PlayEntry(static_cast<std::size_t>(list_->indexOfTopLevelItem(list_->currentItem())));
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace chipbox::window
