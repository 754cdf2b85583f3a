// SPDX-License-Identifier: GPL-2.0-or-later
// "Chipbox Scope": for each SID chip of the tune, its three voices' waveforms
// and the output as moving traces, with each voice's note, waveform, pulse
// width, envelope and gate, and the filter's settings, as the listener hears
// them at this moment (the frame being heard, two buffers behind what was
// rendered). It redraws at the screen's rate from the values the engine
// publishes, which it reads without waiting for the engine.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "playback/scope_feed.h"

class QTimer;

namespace chipbox::window {

inline constexpr const char* SCOPE_CAPTION = "Chipbox Scope";

class ScopeView final : public QWidget {
    Q_OBJECT
public:
    explicit ScopeView(QWidget* parent);
    // Takes the state heard now; false when nothing is heard.
    bool Refresh();
    const std::optional<ScopeFrame>& shown() const { return shown_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList Texts() const;
    bool TextsDue() const;
    void PaintTexts(const QStringList& texts);
    void PaintVoiceTrace(QPainter& painter, const ScopeChip& chip, int voice, double clockHz,
                         const QRect& lane);
    void PaintOutput(QPainter& painter, const std::vector<std::int16_t>& output, const QRect& lane);
    int OutputChannel(int chip) const;
    QString OutputName(int chip) const;
    int LaneHeight() const;
    int TextWidth() const;

    std::optional<ScopeFrame> shown_;
    std::int64_t heardFrame_ = 0;
    std::array<std::vector<std::int16_t>, 3> outputs_;  // each chip's trace
    QPixmap texts_;  // the background with the texts and the middle lines
    QStringList shownTexts_;
    QElapsedTimer sinceTexts_;
};

class CScope final : public QDialog {
    Q_OBJECT
public:
    // Shows itself where it was last, or beside the owner; it deletes itself
    // when it closes.
    explicit CScope(QWidget* owner);
    ScopeView* view() const { return view_; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    ScopeView* view_ = nullptr;
    QTimer* clock_ = nullptr;
};

}  // namespace chipbox::window
