// SPDX-License-Identifier: GPL-2.0-or-later
// The mixer: a small tool window that mutes any of the three voices and sets
// the level of the digi samples. While a tune for several SIDs plays on the
// real machine, a mute for each further chip appears below the voices and
// the window grows by its rows; otherwise it keeps its size. It writes straight into mixerSettings, which
// the renderer and the card's sample output read. The mutes outlast the
// window; the digi level follows its slider and starts at the top, the full
// level, each time the window opens. Only its place is kept between runs.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <vector>

class QCheckBox;
class QLabel;
class QSlider;

namespace chipbox::window {

inline constexpr const char* MIXER_CAPTION = "Chipbox Mixer";
inline constexpr const char* MIXER_STATUS_TEXT = "MOS6581/8580 SID Device";
// While the real machine plays, the status line names its chip.
inline constexpr const char* MIXER_STATUS_6581_TEXT = "MOS6581 SID Device";
inline constexpr const char* MIXER_STATUS_8580_TEXT = "MOS8580 SID Device";

class CMixer final : public QDialog {
    Q_OBJECT
public:
    // Builds the window with the mutes in force ticked and the digi slider at
    // the top, places it where it was last (or beside the owner when no
    // place is stored), shows it and sets the full digi level. The mixer
    // deletes itself when it closes.
    explicit CMixer(QWidget* owner);
    ~CMixer() override;

    QSlider* digiSlider() const { return digiSlider_; }
    QSlider* overallSlider() const { return overallSlider_; }
    QCheckBox* muteBox(int voice) const { return muteBoxes_[voice]; }
    QLabel* statusLine() const { return status_; }
    // The further chips' mutes, 0 for the second SID; hidden when the tune
    // has no such chip.
    QCheckBox* chipMuteBox(int further) const { return chipMutes_[further]; }

public slots:
    // The close box, Escape and Enter: the window closes; the mutes and the
    // digi level stay as they are.
    void reject() override;
    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private slots:
    void onDigiLevelChanged(int position);
    void onMuteClicked(int voice);
    void showChip();

private:
    void ShowFurtherChips();
    void onChipMuteClicked(int further);

    QSlider* overallSlider_ = nullptr;
    QSlider* digiSlider_ = nullptr;
    std::array<QCheckBox*, 3> muteBoxes_{};
    std::array<QCheckBox*, 2> chipMutes_{};
    int furtherShown_ = 0;  // rows of chip mutes shown
    std::vector<std::uint16_t> furtherAddresses_;
    QLabel* status_ = nullptr;
    bool closed_ = false;
};

}  // namespace chipbox::window
