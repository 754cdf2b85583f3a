// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/mixer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <algorithm>

#include "playback/machine_playback.h"
#include "sid/digi_registers.h"
#include "sid/sid_state.h"
#include "sid/sid_write.h"
#include "ui/common/ui_settings.h"
#include "ui/window/dialog_units.h"
#include "ui/window/tool_window.h"

namespace chipbox::window {

namespace {

// Places in dialog units: x, y, width, height.
constexpr QRect MIXER_SIZE{0, 0, 155, 94};
constexpr int CHIP_REFRESH_MS = 500;
constexpr QRect PLAY_CONTROL_GROUP{1, 0, 154, 83};
constexpr QRect OVERALL_GROUP{15, 10, 30, 70};
constexpr QRect OVERALL_SLIDER{20, 20, 23, 55};
constexpr QRect DIGI_GROUP{50, 10, 30, 70};
constexpr QRect DIGI_SLIDER{55, 20, 23, 55};
constexpr std::array<QRect, 3> VOICE_GROUPS{QRect{95, 10, 45, 20}, QRect{95, 35, 45, 20},
                                            QRect{95, 60, 45, 20}};
constexpr std::array<QRect, 3> MUTE_BOXES{QRect{100, 20, 35, 7}, QRect{100, 45, 36, 7},
                                          QRect{100, 70, 36, 7}};
constexpr QRect STATUS_LINE{0, 84, 155, 10};
// A further chip's mute: one row each between the voices and the status line.
constexpr QRect CHIP_MUTE_ROW{8, 85, 140, 10};
constexpr int CHIP_ROW_HEIGHT = 11;

// Slider positions: 1 at the top is the full digi level, 15 at the bottom a
// fifteenth of it.
constexpr int DIGI_TOP = 1;
constexpr int DIGI_BOTTOM = 15;
// The overall slider has a track bar's own range; it never moves.
constexpr int OVERALL_RANGE = 100;

// A vertical slider whose smallest value is at the top, where the up keys
// move it, with ticks on both sides.
QSlider* VerticalSlider(QWidget* parent, const QRect& place) {
    auto* slider = new QSlider(Qt::Vertical, parent);
    slider->setInvertedAppearance(true);
    slider->setInvertedControls(true);
    slider->setTickPosition(QSlider::TicksBothSides);
    slider->setGeometry(place);
    return slider;
}

}  // namespace

CMixer::CMixer(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromUtf8(MIXER_CAPTION));
    setFont(DialogFont());
    const DialogPlacer place(font());

    (new QGroupBox(QStringLiteral("Play Control"), this))->setGeometry(place(PLAY_CONTROL_GROUP));
    auto* overall = new QGroupBox(QStringLiteral("Overall"), this);
    overall->setGeometry(place(OVERALL_GROUP));
    overall->setEnabled(false);
    overallSlider_ = VerticalSlider(this, place(OVERALL_SLIDER));
    overallSlider_->setRange(0, OVERALL_RANGE);
    overallSlider_->setEnabled(false);
    overallSlider_->setFocusPolicy(Qt::NoFocus);

    (new QGroupBox(QStringLiteral("Digi"), this))->setGeometry(place(DIGI_GROUP));
    digiSlider_ = VerticalSlider(this, place(DIGI_SLIDER));
    digiSlider_->setRange(DIGI_TOP, DIGI_BOTTOM);
    digiSlider_->setTickInterval(1);  // a tick at every position
    digiSlider_->setValue(DIGI_TOP);
    // Not reached by Tab: a click gives it the focus, then the keys move it.
    digiSlider_->setFocusPolicy(Qt::ClickFocus);
    // Tracking is on: the level follows the thumb while it is dragged.
    connect(digiSlider_, &QSlider::valueChanged, this, &CMixer::onDigiLevelChanged);

    for (int voice = 0; voice < 3; ++voice) {
        const QString number = QString::number(voice + 1);
        (new QGroupBox(QStringLiteral("Voice ") + number, this))
            ->setGeometry(place(VOICE_GROUPS[voice]));
        QCheckBox* box = new QCheckBox(QStringLiteral("Mute"), this);
        // The box's own height where its row is lower than its indicator, so
        // the indicator is not cut; centred on the row.
        const QRect row = place(MUTE_BOXES[voice]);
        const int height = std::max(row.height(), box->sizeHint().height());
        box->setGeometry(row.x(), row.center().y() - height / 2, row.width(), height);
        // The mutes outlast the window: a new one shows those in force.
        box->setChecked(mixerSettings.voiceMuted[voice] != 0);
        // Clicked, not toggled: ticking the box from the state above must not
        // mute again, which would forget the gate saved at the first mute.
        connect(box, &QCheckBox::clicked, this, [this, voice] { onMuteClicked(voice); });
        muteBoxes_[voice] = box;
    }

    for (int further = 0; further < 2; ++further) {
        auto* box = new QCheckBox(this);
        box->hide();
        connect(box, &QCheckBox::clicked, this, [this, further] { onChipMuteClicked(further); });
        chipMutes_[static_cast<std::size_t>(further)] = box;
    }

    status_ = new QLabel(this);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setGeometry(place(STATUS_LINE));
    // A tune started from the player window or the command line changes the
    // chip; the line follows within the half second.
    auto* chipTimer = new QTimer(this);
    connect(chipTimer, &QTimer::timeout, this, &CMixer::showChip);
    chipTimer->start(CHIP_REFRESH_MS);

    setFixedSize(place(MIXER_SIZE).size());
    showChip();  // after the size: the further chips' rows add to it
    // A negative x is no stored place.
    if (uiSettings.mixerX >= 0)
        move(uiSettings.mixerX, uiSettings.mixerY);
    else
        PlaceBesideOwner(this, owner);
    // Shown normally, it takes the keyboard: window managers that leave a new
    // tool window unfocused would otherwise send Escape to the player window.
    show();
    activateWindow();
    onDigiLevelChanged(digiSlider_->value());
}

CMixer::~CMixer() = default;

void CMixer::onDigiLevelChanged(int position) { SetDigiLevel(position); }

void CMixer::showChip() {
    ShowFurtherChips();
    const char* text = MIXER_STATUS_TEXT;
    if (MachinePlays())
        text = MachineSidModel() == sidchip::ChipModel::Mos8580 ? MIXER_STATUS_8580_TEXT
                                                                : MIXER_STATUS_6581_TEXT;
    status_->setText(QString::fromUtf8(text));
}

// The rows follow the tune that plays: built when its chips differ from
// those shown, the window's height with them.
void CMixer::ShowFurtherChips() {
    std::vector<std::uint16_t> addresses;
    std::vector<sidchip::ChipModel> models;
    if (MachinePlays()) {
        const std::vector<MachineSidInfo> sids = MachineSids();
        for (std::size_t i = 1; i < sids.size() && i <= chipMutes_.size(); ++i) {
            addresses.push_back(sids[i].address);
            models.push_back(sids[i].model);
        }
    }
    if (addresses == furtherAddresses_) return;
    furtherAddresses_ = addresses;
    furtherShown_ = static_cast<int>(addresses.size());
    const DialogPlacer place(font());
    for (int further = 0; further < static_cast<int>(chipMutes_.size()); ++further) {
        QCheckBox* box = chipMutes_[static_cast<std::size_t>(further)];
        if (further >= furtherShown_) {
            box->hide();
            continue;
        }
        const auto at = static_cast<std::size_t>(further);
        box->setText(QStringLiteral("Mute SID %1 (MOS%2 at $%3)")
                         .arg(further + 2)
                         .arg(models[at] == sidchip::ChipModel::Mos8580 ? 8580 : 6581)
                         .arg(QString::number(addresses[at], 16).toUpper()));
        box->setChecked(FurtherVoiceMuted((further + 1) * 3));
        box->setGeometry(place(CHIP_MUTE_ROW.translated(0, further * CHIP_ROW_HEIGHT)));
        box->show();
    }
    const int grown = furtherShown_ * CHIP_ROW_HEIGHT;
    status_->setGeometry(place(STATUS_LINE.translated(0, grown)));
    setFixedSize(place(MIXER_SIZE.adjusted(0, 0, 0, grown)).size());
}

void CMixer::onChipMuteClicked(int further) {
    const bool muted = chipMutes_[static_cast<std::size_t>(further)]->isChecked();
    for (int voice = 0; voice < 3; ++voice) SetFurtherVoiceMuted((further + 1) * 3 + voice, muted);
}

void CMixer::onMuteClicked(int voice) { SetVoiceMute(voice, muteBoxes_[voice]->isChecked()); }

// Enter closes the mixer as Escape does, whichever control has the focus.
void CMixer::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

// Every move, including the window manager's first placing, is recorded: the
// outer top-left corner.
void CMixer::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    const QPoint outer = frameGeometry().topLeft();
    uiSettings.mixerX = outer.x();
    uiSettings.mixerY = outer.y();
}

void CMixer::reject() {
    if (closed_) return;
    closed_ = true;
    QDialog::reject();
    deleteLater();
}

void CMixer::accept() { reject(); }

}  // namespace chipbox::window
