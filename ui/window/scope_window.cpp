// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/scope_window.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/common/collector_settings.h"
#include "ui/window/scope_texts.h"
#include "ui/window/tool_window.h"

namespace chipbox::window {

namespace {

constexpr double OUTPUT_RATE = 44100.0;
constexpr std::int64_t TRACE_FRAMES = 882;  // 20 ms on screen
constexpr int LANES_PER_CHIP = 5;           // three voices, the filter's line, the output
constexpr int TRACE_POINTS = 240;
constexpr int SCREEN_RATE_FALLBACK = 60;
const QColor BACKGROUND(16, 20, 28);
const QColor VOICE_COLOURS[3] = {QColor(120, 200, 255), QColor(140, 240, 140), QColor(255, 190, 110)};
const QColor OUTPUT_COLOUR(240, 240, 240);
const QColor TEXT_COLOUR(200, 205, 215);
const QColor GRID_COLOUR(48, 56, 70);

}  // namespace

ScopeView::ScopeView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("scopeView"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

int ScopeView::LaneHeight() const { return fontMetrics().height() * 2; }

int ScopeView::TextWidth() const {
    return fontMetrics().horizontalAdvance(QLatin1Char('0')) * 46;
}

QSize ScopeView::sizeHint() const {
    const int chips = shown_ ? shown_->chipCount : 1;
    return {TextWidth() + 320, LaneHeight() * LANES_PER_CHIP * chips};
}

bool ScopeView::Refresh() {
    const std::optional<std::int64_t> heard = HeardFrame();
    const int chipsBefore = shown_ ? shown_->chipCount : 1;
    shown_ = heard ? ScopeFrameAt(*heard) : std::nullopt;
    heardFrame_ = heard.value_or(0);
    output_ = heard ? ScopeSamplesBefore(*heard, TRACE_FRAMES) : std::vector<std::int16_t>{};
    if ((shown_ ? shown_->chipCount : 1) != chipsBefore) updateGeometry();
    update();
    return shown_.has_value();
}

void ScopeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BACKGROUND);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (!shown_) {
        painter.setPen(TEXT_COLOUR);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Nothing playing"));
        return;
    }
    const int blockHeight = LaneHeight() * LANES_PER_CHIP;
    for (int chip = 0; chip < shown_->chipCount; ++chip)
        PaintChip(painter, shown_->chips[static_cast<std::size_t>(chip)], shown_->clockHz,
                  chip * blockHeight);
}

void ScopeView::PaintChip(QPainter& painter, const ScopeChip& chip, double clockHz, int top) {
    const int lane = LaneHeight();
    const int textWidth = TextWidth();
    const QRect traces(textWidth, top, width() - textWidth - 4, lane);
    painter.setPen(TEXT_COLOUR);
    const char* model = chip.model == ScopeChipModel::Mos8580   ? "8580"
                        : chip.model == ScopeChipModel::Mos6581 ? "6581"
                                                                : "SID";
    for (int voice = 0; voice < 3; ++voice) {
        const QRect text(4, top + voice * lane, textWidth - 8, lane);
        const VoiceView view = ViewVoice(chip, voice, clockHz);
        painter.setPen(VOICE_COLOURS[voice]);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                         QString::fromLatin1(VoiceLine(voice, view)));
        PaintVoiceTrace(painter, chip, voice, clockHz, traces.translated(0, voice * lane));
    }
    painter.setPen(TEXT_COLOUR);
    painter.drawText(QRect(4, top + 3 * lane, width() - 8, lane), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("$%1 %2  %3")
                         .arg(chip.address, 4, 16, QLatin1Char('0'))
                         .arg(QString::fromLatin1(model),
                              QString::fromLatin1(FilterLine(ViewFilter(chip))))
                         .toUpper());
    painter.drawText(QRect(4, top + 4 * lane, textWidth - 8, lane), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Output"));
    PaintOutput(painter, traces.translated(0, 4 * lane));
}

// The voice as its registers make it, scrolling with the time heard.
void ScopeView::PaintVoiceTrace(QPainter& painter, const ScopeChip& chip, int voice,
                                double clockHz, const QRect& lane) {
    painter.setPen(GRID_COLOUR);
    painter.drawLine(lane.left(), lane.center().y(), lane.right(), lane.center().y());
    const VoiceView view = ViewVoice(chip, voice, clockHz);
    const std::uint8_t control = chip.registers[static_cast<std::size_t>(voice) * 7 + 4];
    const double level = view.level / 255.0;
    const double end = static_cast<double>(heardFrame_) / OUTPUT_RATE;
    const double span = static_cast<double>(TRACE_FRAMES) / OUTPUT_RATE;
    QPainterPath path;
    for (int i = 0; i < TRACE_POINTS; ++i) {
        const double t = end - span + span * i / (TRACE_POINTS - 1);
        const double phase = view.hertz * t;
        const auto noiseStep = static_cast<std::uint64_t>(std::max(phase * 16.0, 0.0));
        const double value = WaveformValue(control, view.pulseWidth, phase, noiseStep) * level;
        const QPointF point(lane.left() + lane.width() * i / (TRACE_POINTS - 1.0),
                            lane.center().y() - value * (lane.height() / 2.0 - 2));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setPen(QPen(VOICE_COLOURS[voice], 1.2));
    painter.drawPath(path);
}

void ScopeView::PaintOutput(QPainter& painter, const QRect& lane) {
    painter.setPen(GRID_COLOUR);
    painter.drawLine(lane.left(), lane.center().y(), lane.right(), lane.center().y());
    if (output_.size() < 2) return;
    QPainterPath path;
    const auto count = static_cast<double>(output_.size() - 1);
    for (std::size_t i = 0; i < output_.size(); ++i) {
        const QPointF point(lane.left() + lane.width() * (static_cast<double>(i) / count),
                            lane.center().y() - output_[i] / 32768.0 * (lane.height() / 2.0 - 2));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setPen(QPen(OUTPUT_COLOUR, 1.0));
    painter.drawPath(path);
}

CScope::CScope(QWidget* owner) : QDialog(owner, Qt::Window) {
    setObjectName(QStringLiteral("scope"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(SCOPE_CAPTION));
    view_ = new ScopeView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->Refresh();
    resize(sizeHint());
    const WindowPlace& place = collectorSettings.scope;
    if (place.width > 0 && place.height > 0) resize(place.width, place.height);
    if (place.x >= 0)
        move(place.x, place.y);
    else
        PlaceBesideOwner(this, owner);
    clock_ = new QTimer(this);
    const double rate = screen() != nullptr ? screen()->refreshRate() : SCREEN_RATE_FALLBACK;
    clock_->setTimerType(Qt::PreciseTimer);
    clock_->start(static_cast<int>(1000.0 / std::clamp(rate, 24.0, 144.0)));
    connect(clock_, &QTimer::timeout, view_, &ScopeView::Refresh);
    show();
}

void CScope::Remember() {
    const QRect outer = frameGeometry();
    collectorSettings.scope = {outer.x(), outer.y(), width(), height()};
}

void CScope::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    if (isVisible()) Remember();
}

void CScope::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (isVisible()) Remember();
}

}  // namespace chipbox::window
