// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/file_browse_dialog.h"

#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "playback/tune_loading.h"
#include "ui/common/tune_files.h"
#include "ui/common/ui_settings.h"
#include "ui/window/application_icon.h"
#include "ui/window/dialog_units.h"
#include "ui/window/tool_window.h"

namespace chipbox::window {

namespace {

// The window and its controls in dialog units, valid until the first size
// change.
constexpr QRect BROWSER_SIZE{0, 0, 278, 182};
constexpr QRect LIST_TEMPLATE{5, 5, 216, 170};
constexpr QRect OPEN_TEMPLATE{225, 5, 50, 14};
constexpr QRect CANCEL_TEMPLATE{225, 22, 50, 14};
constexpr QRect FONT_TEMPLATE{225, 45, 50, 14};

// The layout after a size change, in pixels of the client area: the list
// fills all but a strip at the right, where the buttons sit.
constexpr int LIST_MARGIN = 8;
constexpr int BUTTON_STRIP = 95;  // client width the list leaves free
constexpr int BUTTON_FROM_RIGHT = 80;
constexpr int BUTTON_WIDTH = 75;
constexpr int BUTTON_HEIGHT = 24;
constexpr int OPEN_Y = 8;
constexpr int CANCEL_Y = 36;
constexpr int FONT_Y = 70;

constexpr int COLUMN_WIDTH = 200;  // pixels per column of the list
constexpr int ROW_PADDING = 2;     // pixels between two rows of text
constexpr const char* DEFAULT_LIST_FACE = "Arial";
constexpr int DEFAULT_LIST_POINTS = 8;
// A stored height beyond this is no height a screen font has.
constexpr int MAX_FONT_PIXELS = 1000;

// The mount table is a small file; a bigger one is no mount table.
constexpr std::streamsize MAX_MOUNT_TABLE = 1 << 20;

// Rows added per turn of the event loop: a folder of thousands of tunes
// fills in steps, so that the window's thread, which also refills the sound
// buffers, is never held long enough for the sound to drop out.
constexpr int ROWS_PER_STEP = 500;

constexpr int ROLE_TAG = Qt::UserRole;
constexpr int ROLE_RAW = Qt::UserRole + 1;  // the entry's raw text

BrowserEntry MakeEntry(std::string raw) {
    QString shown = QFile::decodeName(QByteArray::fromStdString(raw));
    return {std::move(raw), std::move(shown)};
}

BrowserEntry Bracketed(const std::string& name) { return MakeEntry("[" + name + "]"); }

// The browsing order over the whole text with its brackets ("[a-b]" before
// "[a]"), the one the terminal player lists folders in too.
bool SortsBefore(const BrowserEntry& a, const BrowserEntry& b) {
    return BrowserOrder(a.raw, b.raw);
}

// A folder that cannot be read lists as empty; one that stops being readable
// half-way lists what was read.
void ListWorkingDirectory(std::vector<BrowserEntry>& directories,
                          std::vector<BrowserEntry>& files) {
    std::error_code error;
    std::filesystem::directory_iterator entry(
        ".", std::filesystem::directory_options::skip_permission_denied, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code typeError;
        // Only a regular file is a tune: a FIFO or a device named like one
        // would hang the window that reads it.
        if (entry->is_directory(typeError))
            directories.push_back(Bracketed(name));
        else if (IsTuneName(name) && entry->is_regular_file(typeError))
            files.push_back(MakeEntry(name));
    }
    // The root is the only directory without a parent to go up to.
    if (WorkingDirectory() != "/") directories.push_back(Bracketed(".."));
    std::sort(directories.begin(), directories.end(), SortsBefore);
    std::sort(files.begin(), files.end(), SortsBefore);
}

// The mount table writes blanks, tabs, newlines and backslashes in a path as
// three octal digits after a backslash.
std::string UnescapeMountPath(std::string_view field) {
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        field.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            path.push_back(static_cast<char>(((field[i + 1] - '0') << 6) |
                                             ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            path.push_back(field[i]);
        }
    }
    return path;
}

// The second field of each line: where the volume is mounted.
std::vector<std::string> MountPoints(std::string_view table) {
    std::vector<std::string> points;
    while (!table.empty()) {
        const std::size_t end = std::min(table.find('\n'), table.size());
        std::string_view line = table.substr(0, end);
        table.remove_prefix(std::min(end + 1, table.size()));
        const std::size_t first = line.find(' ');
        if (first == std::string_view::npos) continue;
        line.remove_prefix(first + 1);
        points.push_back(UnescapeMountPath(line.substr(0, line.find(' '))));
    }
    return points;
}

std::string ReadMountTable() {
    std::ifstream file("/proc/self/mounts");
    std::string text(static_cast<std::size_t>(MAX_MOUNT_TABLE), '\0');
    file.read(text.data(), MAX_MOUNT_TABLE);
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return text;
}

const passwd* UserRecord() { return getpwuid(getuid()); }

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    const passwd* user = UserRecord();
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

std::string UserName() {
    if (const char* name = std::getenv("USER"); name != nullptr && name[0] != '\0') return name;
    const passwd* user = UserRecord();
    return user != nullptr && user->pw_name != nullptr ? user->pw_name : "";
}

// A place the browser can change to: a directory we may enter. A volume
// without a medium, or one we may not enter, is left out.
bool CanEnter(const std::string& path) {
    std::error_code error;
    return access(path.c_str(), X_OK) == 0 && std::filesystem::is_directory(path, error);
}

// The font the list starts with: the one chosen with the Font button (in this
// run or an earlier one), else Arial at 8 points.
QFont DescribedListFont() {
    if (uiSettings.browserFontName.empty()) {
        QFont font(QString::fromUtf8(DEFAULT_LIST_FACE), DEFAULT_LIST_POINTS);
        font.setStyleHint(QFont::SansSerif);
        return font;
    }
    QFont font(QString::fromStdString(uiSettings.browserFontName));
    // A height written as a negative character height means the same size.
    const long long pixels = std::llabs(static_cast<long long>(uiSettings.browserFontHeight));
    if (pixels > 0 && pixels <= MAX_FONT_PIXELS) font.setPixelSize(static_cast<int>(pixels));
    return font;
}

}  // namespace

std::vector<std::string> PlaceCandidates(std::string_view mountTable, const std::string& home,
                                         const std::string& user) {
    std::vector<std::string> places{"/"};
    const auto add = [&places](std::string path) {
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (!path.empty() && std::find(places.begin(), places.end(), path) == places.end())
            places.push_back(std::move(path));
    };
    add(home);
    std::vector<std::string> folders;
    if (!user.empty()) folders = {"/media/" + user, "/run/media/" + user};
    folders.push_back("/mnt");
    const std::vector<std::string> points = MountPoints(mountTable);
    // Desktops mount a volume directly in these folders; a mount point deeper
    // down lies inside a volume the user browses to from its own entry.
    for (const std::string& folder : folders)
        for (const std::string& point : points)
            if (std::filesystem::path(point).parent_path() == folder) add(point);
    return places;
}

CFileBrowseDialog::CFileBrowseDialog(QWidget* owner)
    : QDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromUtf8(BROWSER_TEMPLATE_CAPTION));
    setFont(DialogFont());

    fileList_ = new QListWidget(this);
    // Columns filled top to bottom, then the next one to the right.
    fileList_->setFlow(QListView::TopToBottom);
    fileList_->setWrapping(true);
    fileList_->setResizeMode(QListView::Adjust);
    fileList_->setSelectionMode(QAbstractItemView::SingleSelection);
    fileList_->installEventFilter(this);
    // Queued: going into a directory replaces the item under the pointer.
    connect(fileList_, &QListWidget::itemDoubleClicked, this, [this] {
        QMetaObject::invokeMethod(this, &CFileBrowseDialog::Activate, Qt::QueuedConnection);
    });

    openButton_ = new QPushButton(QStringLiteral("&Open"), this);
    openButton_->setDefault(true);
    connect(openButton_, &QPushButton::clicked, this, &CFileBrowseDialog::onOpenClicked);
    cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
    connect(cancelButton_, &QPushButton::clicked, this, &CFileBrowseDialog::reject);
    fontButton_ = new QPushButton(QStringLiteral("&Font "), this);
    connect(fontButton_, &QPushButton::clicked, this, &CFileBrowseDialog::onFontClicked);
    PlaceControlsByTemplate();

    SetListFont(DescribedListFont());
    setWindowIcon(ApplicationIcon());
    ShowWorkingDirectory();
    PlaceWindow(owner);
    BuildPlaceTable();
    show();
    activateWindow();
    FillList(uiSettings.lastChosenFile);
    fileList_->setFocus();
}

CFileBrowseDialog::~CFileBrowseDialog() = default;

void CFileBrowseDialog::PlaceControlsByTemplate() {
    const DialogPlacer place(font());
    fileList_->setGeometry(place(LIST_TEMPLATE));
    openButton_->setGeometry(place(OPEN_TEMPLATE));
    cancelButton_->setGeometry(place(CANCEL_TEMPLATE));
    fontButton_->setGeometry(place(FONT_TEMPLATE));
    templateSize_ = place(BROWSER_SIZE).size();
    resize(templateSize_);
}

// At the stored rectangle when there is one, else beside the owner. The
// stored rectangle is the outer one, frame included, and the frame is known
// only once the window manager has framed the shown window. Until then the
// owner's frame stands in for it; the size is put right when the real frame
// is known, so that it does not creep from run to run.
void CFileBrowseDialog::PlaceWindow(QWidget* owner) {
    if (uiSettings.browserX < 0) {
        PlaceBesideOwner(this, owner);
        return;
    }
    const QSize frame =
        owner != nullptr ? owner->frameGeometry().size() - owner->geometry().size() : QSize();
    move(uiSettings.browserX, uiSettings.browserY);
    storedOuterSize_ =
        QSize(std::max(0, uiSettings.browserWidth), std::max(0, uiSettings.browserHeight));
    resize((storedOuterSize_ - frame).expandedTo(QSize(0, 0)));
    LayOut(size());
}

void CFileBrowseDialog::KeepStoredOuterSize() {
    if (!storedOuterSize_.isValid() || !isVisible()) return;
    const QSize frame = frameGeometry().size() - size();
    if (frame.isNull()) return;  // not framed yet
    const QSize outer = storedOuterSize_;
    storedOuterSize_ = QSize();
    resize((outer - frame).expandedTo(QSize(0, 0)));
}

void CFileBrowseDialog::BuildPlaceTable() {
    places_.clear();
    for (std::string& place : PlaceCandidates(ReadMountTable(), HomeDirectory(), UserName()))
        if (CanEnter(place)) places_.push_back(std::move(place));
}

void CFileBrowseDialog::ShowWorkingDirectory() {
    const std::string directory = WorkingDirectory();
    setWindowTitle(directory.empty() ? QString::fromUtf8(BROWSER_TEMPLATE_CAPTION)
                                     : QFile::decodeName(QByteArray::fromStdString(directory)));
}

void CFileBrowseDialog::FillList(const std::string& select) {
    fileList_->clear();
    rows_.clear();
    std::vector<BrowserEntry> directories, files;
    ListWorkingDirectory(directories, files);
    for (BrowserEntry& entry : directories) rows_.push_back({std::move(entry), TAG_DIRECTORY});
    for (BrowserEntry& entry : files) rows_.push_back({std::move(entry), TAG_FILE});
    for (const std::string& place : places_) rows_.push_back({Bracketed(place), TAG_DIRECTORY});
    selectRaw_ = select;
    ++filling_;
    fileList_->setCurrentRow(-1);
    AddRows(filling_);
}

// The cursor goes to the entry asked for (the directory just left by [..],
// or the file last chosen) once it is listed, else stays on the first.
void CFileBrowseDialog::AddRows(unsigned filling) {
    if (filling != filling_) return;  // the list was filled afresh meanwhile
    const int first = fileList_->count();
    const int end = std::min<int>(first + ROWS_PER_STEP, static_cast<int>(rows_.size()));
    for (int row = first; row < end; ++row) {
        const Row& listed = rows_[static_cast<std::size_t>(row)];
        auto* item = new QListWidgetItem(listed.entry.shown, fileList_);
        item->setData(ROLE_TAG, static_cast<int>(listed.tag));
        item->setData(ROLE_RAW, QByteArray::fromStdString(listed.entry.raw));
        if (!selectRaw_.empty() && listed.entry.raw == selectRaw_) fileList_->setCurrentRow(row);
    }
    if (first == 0 && fileList_->currentRow() < 0) fileList_->setCurrentRow(0);
    if (end < static_cast<int>(rows_.size()))
        QTimer::singleShot(0, this, [this, filling] { AddRows(filling); });
}

void CFileBrowseDialog::Activate() {
    QListWidgetItem* item = fileList_->currentItem();
    if (item == nullptr || !item->isSelected()) return;
    const std::string raw = item->data(ROLE_RAW).toByteArray().toStdString();
    const int tag = item->data(ROLE_TAG).toInt();
    if (tag == TAG_FILE) {
        uiSettings.lastChosenFile = raw;
        LoadTune(raw, true);
        return;
    }
    if (tag != TAG_DIRECTORY || raw.size() < 2) return;
    const std::string target = raw.substr(1, raw.size() - 2);
    returnMarker_.clear();
    if (target == "..") {
        const std::string left = WorkingDirectory();
        const std::size_t slash = left.rfind('/');
        if (slash != std::string::npos) returnMarker_ = Bracketed(left.substr(slash + 1)).raw;
    }
    // A directory that cannot be entered leaves the browser where it is.
    std::error_code ignored;
    std::filesystem::current_path(target, ignored);
    ShowWorkingDirectory();
    FillList(returnMarker_);
}

void CFileBrowseDialog::onOpenClicked() { Activate(); }

// The chooser starts from the system's font until one was chosen; only the
// list changes font, the buttons keep theirs.
void CFileBrowseDialog::onFontClicked() {
    const QFont initial =
        uiSettings.browserFontHeight == NO_FONT_HEIGHT ? QApplication::font() : listFont_;
    bool chosen = false;
    const QFont font = QFontDialog::getFont(&chosen, initial, this);
    if (!chosen) return;
    uiSettings.browserFontName = font.family().toStdString();
    uiSettings.browserFontHeight = QFontInfo(font).pixelSize();
    SetListFont(DescribedListFont());
}

void CFileBrowseDialog::SetListFont(const QFont& font) {
    listFont_ = font;
    fileList_->setFont(font);
    fileList_->setGridSize(QSize(COLUMN_WIDTH, QFontMetrics(font).height() + ROW_PADDING));
    fileList_->viewport()->update();
}

void CFileBrowseDialog::LayOut(const QSize& client) {
    laidOut_ = true;
    const int w = client.width();
    const int h = client.height();
    fileList_->setGeometry(LIST_MARGIN, LIST_MARGIN, std::max(0, w - BUTTON_STRIP),
                           std::max(0, h - 2 * LIST_MARGIN));
    openButton_->setGeometry(w - BUTTON_FROM_RIGHT, OPEN_Y, BUTTON_WIDTH, BUTTON_HEIGHT);
    cancelButton_->setGeometry(w - BUTTON_FROM_RIGHT, CANCEL_Y, BUTTON_WIDTH, BUTTON_HEIGHT);
    fontButton_->setGeometry(w - BUTTON_FROM_RIGHT, FONT_Y, BUTTON_WIDTH, BUTTON_HEIGHT);
}

void CFileBrowseDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    KeepStoredOuterSize();
}

void CFileBrowseDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    KeepStoredOuterSize();
    // The window's first size is the template's, where the template places
    // still hold.
    if (laidOut_ || event->size() != templateSize_) LayOut(event->size());
}

// Backspace goes up: it selects the first entry, [..] where there is one, and
// activates it as Enter does, once this key has been handled.
bool CFileBrowseDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fileList_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backspace) {
        if (fileList_->count() > 0) fileList_->setCurrentRow(0);
        QCoreApplication::postEvent(
            this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CFileBrowseDialog::reject() {
    if (closed_) return;
    closed_ = true;
    const QRect outer = frameGeometry();
    uiSettings.browserX = outer.x();
    uiSettings.browserY = outer.y();
    uiSettings.browserWidth = outer.width();
    uiSettings.browserHeight = outer.height();
    QDialog::reject();
    deleteLater();
}

}  // namespace chipbox::window
