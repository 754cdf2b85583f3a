// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/scope_window.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPolygonF>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>

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
constexpr double OUTPUT_MOST_GAIN = 16.0;
constexpr int TEXT_REFRESH_MS = 100;
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
    return fontMetrics().horizontalAdvance(QLatin1Char('0')) * 60;
}

QSize ScopeView::sizeHint() const {
    const int chips = shown_ ? shown_->chipCount : 1;
    return {TextWidth() + 320, LaneHeight() * LANES_PER_CHIP * chips};
}

bool ScopeView::Refresh() {
    const std::optional<std::int64_t> heard = HeardFrame();
    const std::int64_t heardBefore = heardFrame_;
    const int chipsBefore = shown_ ? shown_->chipCount : 1;
    const bool shownBefore = shown_.has_value();
    shown_ = heard ? ScopeFrameAt(*heard) : std::nullopt;
    heardFrame_ = heard.value_or(0);
    for (int chip = 0; chip < static_cast<int>(outputs_.size()); ++chip)
        outputs_[static_cast<std::size_t>(chip)] =
            heard && shown_ && chip < shown_->chipCount
                ? ScopeSamplesBefore(*heard, TRACE_FRAMES, OutputChannel(chip))
                : std::vector<std::int16_t>{};
    if ((shown_ ? shown_->chipCount : 1) != chipsBefore) updateGeometry();
    // Only the traces move every frame; the rest is sent to the screen again
    // only when its texts changed (see PaintTexts). Paused, nothing moves.
    if (!shown_ && !shownBefore) return false;
    if (shown_ && heardFrame_ == heardBefore && !TextsDue()) return true;
    if (shown_ && !TextsDue())
        update(TextWidth(), 0, width() - TextWidth(), height());
    else
        update();
    return shown_.has_value();
}

QStringList ScopeView::Texts() const {
    QStringList texts;
    for (int c = 0; c < shown_->chipCount; ++c) {
        const ScopeChip& chip = shown_->chips[static_cast<std::size_t>(c)];
        for (int voice = 0; voice < 3; ++voice)
            texts << QString::fromLatin1(
                VoiceLine(voice, ViewVoice(chip, voice, shown_->clockHz)));
        const char* model = chip.model == ScopeChipModel::Mos8580   ? "8580"
                            : chip.model == ScopeChipModel::Mos6581 ? "6581"
                                                                    : "SID";
        texts << QStringLiteral("$%1 %2  %3")
                     .arg(chip.address, 4, 16, QLatin1Char('0'))
                     .arg(QString::fromLatin1(model),
                          QString::fromLatin1(FilterLine(ViewFilter(chip))))
                     .toUpper();
        texts << OutputName(c);
    }
    return texts;
}

// The texts and the lanes' middle lines, drawn again only when they read
// differently, and then at most ten times a second: the eye cannot follow
// them faster, and text is the dearest part to draw.
bool ScopeView::TextsDue() const {
    return texts_.isNull() || texts_.size() != size() * devicePixelRatio() ||
           sinceTexts_.elapsed() >= TEXT_REFRESH_MS;
}

void ScopeView::PaintTexts(const QStringList& texts) {
    if (!texts_.isNull() && texts_.size() == size() * devicePixelRatio() && texts == shownTexts_) {
        sinceTexts_.start();
        return;
    }
    texts_ = QPixmap(size() * devicePixelRatio());
    texts_.setDevicePixelRatio(devicePixelRatio());
    texts_.fill(BACKGROUND);
    QPainter painter(&texts_);
    painter.setFont(font());
    const int lane = LaneHeight();
    for (int line = 0; line < texts.size(); ++line) {
        const int inChip = line % LANES_PER_CHIP;
        const QRect place(4, line * lane, (inChip == 3 ? width() : TextWidth()) - 8, lane);
        painter.setPen(inChip < 3 ? VOICE_COLOURS[inChip] : TEXT_COLOUR);
        painter.drawText(place, Qt::AlignVCenter | Qt::AlignLeft, texts[line]);
        if (inChip == 3) continue;
        painter.setPen(GRID_COLOUR);
        const int middle = line * lane + lane / 2;
        painter.drawLine(TextWidth(), middle, width() - 4, middle);
    }
    shownTexts_ = texts;
    sinceTexts_.start();
}

void ScopeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!shown_) {
        painter.fillRect(rect(), BACKGROUND);
        painter.setPen(TEXT_COLOUR);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Nothing playing"));
        return;
    }
    if (TextsDue()) PaintTexts(Texts());
    painter.drawPixmap(0, 0, texts_);
    // Plain lines: antialiased ones cost several times as much to draw, at
    // sixty frames a second.
    const int lane = LaneHeight();
    const QRect traces(TextWidth(), 0, width() - TextWidth() - 4, lane);
    for (int c = 0; c < shown_->chipCount; ++c) {
        const int top = c * lane * LANES_PER_CHIP;
        for (int voice = 0; voice < 3; ++voice)
            PaintVoiceTrace(painter, shown_->chips[static_cast<std::size_t>(c)], voice,
                            shown_->clockHz, traces.translated(0, top + voice * lane));
        PaintOutput(painter, outputs_[static_cast<std::size_t>(c)],
                    traces.translated(0, top + 4 * lane));
    }
}

// The voice as its registers make it, scrolling with the time heard.
void ScopeView::PaintVoiceTrace(QPainter& painter, const ScopeChip& chip, int voice,
                                double clockHz, const QRect& lane) {
    const VoiceView view = ViewVoice(chip, voice, clockHz);
    const std::uint8_t control = chip.registers[static_cast<std::size_t>(voice) * 7 + 4];
    const double level = view.level / 255.0;
    const double end = static_cast<double>(heardFrame_) / OUTPUT_RATE;
    const double span = static_cast<double>(TRACE_FRAMES) / OUTPUT_RATE;
    QPolygonF line;
    line.reserve(TRACE_POINTS);
    for (int i = 0; i < TRACE_POINTS; ++i) {
        const double t = end - span + span * i / (TRACE_POINTS - 1);
        const double phase = view.hertz * t;
        const auto noiseStep = static_cast<std::uint64_t>(std::max(phase * 16.0, 0.0));
        const double value = WaveformValue(control, view.pulseWidth, phase, noiseStep) * level;
        line << QPointF(lane.left() + lane.width() * i / (TRACE_POINTS - 1.0),
                        lane.center().y() - value * (lane.height() / 2.0 - 2));
    }
    painter.setPen(VOICE_COLOURS[voice]);
    painter.drawPolyline(line);
}

// In stereo, two chips play left and right, three left, middle and right;
// each chip's trace is its channel (the middle one both).
int ScopeView::OutputChannel(int chip) const {
    if (ScopeChannels() < 2 || !shown_ || shown_->chipCount < 2) return -1;
    if (chip == 0) return 0;
    return chip == shown_->chipCount - 1 ? 1 : -1;
}

QString ScopeView::OutputName(int chip) const {
    switch (OutputChannel(chip)) {
        case 0: return QStringLiteral("Output left");
        case 1: return QStringLiteral("Output right");
        default:
            return shown_ && shown_->chipCount > 2 && ScopeChannels() > 1
                       ? QStringLiteral("Output middle")
                       : QStringLiteral("Output");
    }
}

void ScopeView::PaintOutput(QPainter& painter, const std::vector<std::int16_t>& output,
                            const QRect& lane) {
    if (output.size() < 2) return;
    // Quiet music is drawn larger, up to sixteen times, so that it shows.
    int peak = 1;
    for (const std::int16_t sample : output) peak = std::max(peak, std::abs(int{sample}));
    const double gain = std::min(OUTPUT_MOST_GAIN, 0.9 * 32768.0 / peak);
    const double scale = gain / 32768.0 * (lane.height() / 2.0 - 2);
    // One point per pixel column is all the screen shows.
    const int points = std::max(2, std::min(lane.width(), static_cast<int>(output.size())));
    QPolygonF line;
    line.reserve(points);
    const double step = static_cast<double>(output.size() - 1) / (points - 1);
    for (int i = 0; i < points; ++i) {
        const auto sample = output[static_cast<std::size_t>(std::lround(i * step))];
        line << QPointF(lane.left() + lane.width() * i / (points - 1.0),
                        lane.center().y() - sample * scale);
    }
    painter.setPen(OUTPUT_COLOUR);
    painter.drawPolyline(line);
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
    RestorePlace(this, collectorSettings.scope, owner);
    clock_ = new QTimer(this);
    const double rate = screen() != nullptr ? screen()->refreshRate() : SCREEN_RATE_FALLBACK;
    clock_->setTimerType(Qt::PreciseTimer);
    clock_->start(static_cast<int>(std::lround(1000.0 / std::clamp(rate, 24.0, 144.0))));
    connect(clock_, &QTimer::timeout, view_, &ScopeView::Refresh);
    show();
}

void CScope::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    RememberPlace(this, collectorSettings.scope);
}

void CScope::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    RememberPlace(this, collectorSettings.scope);
}

}  // namespace chipbox::window
