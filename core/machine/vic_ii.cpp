// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/vic_ii.h"

#include <algorithm>

namespace chipbox::machine {

namespace {

enum Register : std::uint8_t {
    SPRITE_0_Y = 0x01,
    CONTROL_1 = 0x11,
    RASTER = 0x12,
    SPRITE_ENABLE = 0x15,
    CONTROL_2 = 0x16,
    SPRITE_EXPAND_Y = 0x17,
    MEMORY_POINTERS = 0x18,
    INTERRUPT_FLAGS = 0x19,
    INTERRUPT_MASK = 0x1A,
    SPRITE_SPRITE_COLLISION = 0x1E,
    SPRITE_DATA_COLLISION = 0x1F,
    BORDER_COLOUR = 0x20,
    LAST_COLOUR = 0x2E,
};

constexpr std::uint8_t DISPLAY_ENABLE = 0x10;
constexpr std::uint8_t RASTER_BIT_8 = 0x80;
constexpr std::uint8_t RASTER_INTERRUPT = 0x01;
constexpr std::uint8_t INTERRUPT_REQUESTED = 0x80;

// Bad lines can fall in lines $30-$F7, and only in a frame in which the
// display was enabled during line $30.
constexpr std::uint32_t FIRST_BAD_LINE = 0x30;
constexpr std::uint32_t LAST_BAD_LINE = 0xF7;
// BA goes low in cycle 12 (11 from 0); the processor has the bus again in
// cycle 55 (54 from 0).
constexpr std::uint32_t BAD_LINE_BA_LOW = 11;
constexpr std::uint32_t BAD_LINE_END = 54;
// In cycle 55 (54 from 0) each sprite whose Y matches the line starts to fetch.
constexpr std::uint32_t SPRITE_CHECK_CYCLE = 54;
constexpr std::uint8_t SPRITE_LINES = 21;
// BA falls three cycles before a sprite's pointer access; the pointer and its
// three data bytes take that cycle and the next.
constexpr std::uint32_t BA_WARNING = 3;
constexpr std::uint32_t SPRITE_FETCH_CYCLES = 2;

const VideoTiming PAL_TIMING{985248, 312, 63, {57, 59, 61, 63, 65, 67, 69, 71}, 50};
const VideoTiming NTSC_TIMING{1022727, 263, 65, {59, 61, 63, 65, 67, 69, 71, 73}, 60};

}  // namespace

const VideoTiming& TimingOf(VideoStandard standard) {
    return standard == VideoStandard::Ntsc ? NTSC_TIMING : PAL_TIMING;
}

VicII::VicII(Bus& bus, VideoStandard standard) : bus_(bus), timing_(TimingOf(standard)) {
    Reset(0);
}

void VicII::Reset(std::uint64_t cycle) {
    registers_.fill(0);
    irqFlags_ = irqMask_ = 0;
    compareFiredLine_ = NEVER;
    displayEnabledInFrame_ = false;
    frameOfDisplayEnable_ = NEVER;
    spriteLinesLeft_.fill(0);
    spriteLine_ = NEVER;
    stretch_ = {};
    UpdateIrq();
    ScheduleFrom(cycle);
    bus_.Reschedule(this, NextEvent(cycle));
}

std::uint32_t VicII::RasterLine(std::uint64_t cycle) const {
    return static_cast<std::uint32_t>((cycle % timing_.cyclesPerFrame()) / timing_.cyclesPerLine);
}

std::uint32_t VicII::LineCycle(std::uint64_t cycle) const {
    return static_cast<std::uint32_t>(cycle % timing_.cyclesPerLine);
}

std::uint64_t VicII::LineStart(std::uint64_t cycle) const {
    return cycle - cycle % timing_.cyclesPerLine;
}

std::uint32_t VicII::CompareLine() const {
    return registers_[RASTER] | ((registers_[CONTROL_1] & RASTER_BIT_8) << 1);
}

// The compare fires at the start of its line; in line 0 a cycle later.
std::uint64_t VicII::NextCompareCycle(std::uint64_t cycle) const {
    const std::uint32_t line = CompareLine();
    if (line >= timing_.lines) return NEVER;
    const std::uint64_t frame = timing_.cyclesPerFrame();
    const std::uint64_t offset = std::uint64_t{line} * timing_.cyclesPerLine + (line == 0 ? 1 : 0);
    std::uint64_t candidate = cycle - cycle % frame + offset;
    if (candidate < cycle) candidate += frame;
    return candidate;
}

void VicII::CompareMatched(std::uint64_t cycle) {
    const std::uint64_t line = LineStart(cycle);
    if (compareFiredLine_ == line) return;
    compareFiredLine_ = line;
    irqFlags_ |= RASTER_INTERRUPT;
    UpdateIrq();
}

void VicII::UpdateIrq() { bus_.SetIrq(FROM_VIC, (irqFlags_ & irqMask_ & 0x0F) != 0); }

// Records whether DEN was set in line $30 of the frame `cycle` is in, before
// a write may change it.
void VicII::NoteDisplayEnable(std::uint64_t cycle) {
    const std::uint64_t frame = cycle / timing_.cyclesPerFrame();
    const std::uint32_t line = RasterLine(cycle);
    const bool enabled = (registers_[CONTROL_1] & DISPLAY_ENABLE) != 0;
    if (line < FIRST_BAD_LINE) return;
    if (frameOfDisplayEnable_ != frame) {
        frameOfDisplayEnable_ = frame;
        displayEnabledInFrame_ = enabled;
    } else if (line == FIRST_BAD_LINE) {
        displayEnabledInFrame_ = displayEnabledInFrame_ || enabled;
    }
}

bool VicII::DisplayEnabledInFrame(std::uint64_t frame) const {
    return frameOfDisplayEnable_ == frame ? displayEnabledInFrame_
                                          : (registers_[CONTROL_1] & DISPLAY_ENABLE) != 0;
}

// The first bad line whose stretch has not ended by `cycle`: in this frame
// from the beam's line on, else the next frame's first.
VicII::Stretch VicII::NextBadLine(std::uint64_t cycle) const {
    const std::uint64_t frameCycles = timing_.cyclesPerFrame();
    const std::uint64_t frameStart = cycle - cycle % frameCycles;
    const std::uint32_t scroll = registers_[CONTROL_1] & 7;
    const auto firstFrom = [scroll](std::uint32_t line) { return line + ((scroll - line) & 7); };
    if (DisplayEnabledInFrame(frameStart / frameCycles)) {
        for (std::uint32_t line = firstFrom(std::max(RasterLine(cycle), FIRST_BAD_LINE));
             line <= LAST_BAD_LINE; line += 8) {
            const std::uint64_t start = frameStart + std::uint64_t{line} * timing_.cyclesPerLine;
            if (start + BAD_LINE_END > cycle) return {start + BAD_LINE_BA_LOW, start + BAD_LINE_END};
        }
    }
    if (!(registers_[CONTROL_1] & DISPLAY_ENABLE)) return {};
    const std::uint64_t start =
        frameStart + frameCycles + std::uint64_t{firstFrom(FIRST_BAD_LINE)} * timing_.cyclesPerLine;
    return {start + BAD_LINE_BA_LOW, start + BAD_LINE_END};
}

// The first stretch of the sprite fetches that end the line passed last
// which has not ended by `cycle`. Fetching sprites side by side hold BA low
// together; a sprite that does not fetch leaves a gap only where its
// neighbours' warnings do not cover it.
VicII::Stretch VicII::SpriteStretch(std::uint64_t cycle) const {
    if (spriteLine_ == NEVER) return {};
    Stretch found;
    for (int sprite = 0; sprite < 8; ++sprite) {
        if (spriteLinesLeft_[sprite] == 0) continue;
        const std::uint64_t pointer = spriteLine_ + timing_.spritePointerCycle[sprite];
        const Stretch own{pointer - BA_WARNING, pointer + SPRITE_FETCH_CYCLES};
        if (found.start != NEVER && own.start <= found.end) {
            found.end = own.end;
            continue;
        }
        if (found.start != NEVER && found.end > cycle) break;
        found = own;
    }
    if (found.end <= cycle) return {};
    return found;
}

VicII::Stretch VicII::NextStretch(std::uint64_t cycle) {
    Stretch best;
    for (const Stretch& candidate : {NextBadLine(cycle), SpriteStretch(cycle)}) {
        if (candidate.end != NEVER && candidate.end > cycle && candidate.start < best.start)
            best = candidate;
    }
    return best;
}

// Cycle 55 of a line: the sprites that fetched at the end of the line before
// have a line less to go, and those whose Y is this line begin.
void VicII::PassLine(std::uint64_t lineStart) {
    const std::uint32_t line = RasterLine(lineStart);
    for (int sprite = 0; sprite < 8; ++sprite) {
        std::uint8_t& left = spriteLinesLeft_[sprite];
        if (left > 0 && spriteLine_ != NEVER) --left;
        const bool enabled = (registers_[SPRITE_ENABLE] >> sprite) & 1;
        const bool expanded = (registers_[SPRITE_EXPAND_Y] >> sprite) & 1;
        if (left == 0 && enabled && registers_[SPRITE_0_Y + 2 * sprite] == (line & 0xFF))
            left = static_cast<std::uint8_t>(expanded ? 2 * SPRITE_LINES : SPRITE_LINES);
    }
    spriteLine_ = lineStart;
}

std::uint64_t VicII::NextEvent(std::uint64_t /*cycle*/) const {
    return std::min({nextCompare_, nextLine_, stretch_.end});
}

// Works out the events from `cycle` on; a stretch that has begun runs its course.
void VicII::ScheduleFrom(std::uint64_t cycle) {
    nextCompare_ = NextCompareCycle(cycle);
    const bool fetching = std::any_of(spriteLinesLeft_.begin(), spriteLinesLeft_.end(),
                                      [](std::uint8_t left) { return left > 0; });
    if (registers_[SPRITE_ENABLE] != 0 || fetching) {
        std::uint64_t next = LineStart(cycle) + SPRITE_CHECK_CYCLE;
        if (next < cycle) next += timing_.cyclesPerLine;
        nextLine_ = next;
    } else {
        nextLine_ = NEVER;
    }
    if (stretch_.start == NEVER || stretch_.start > cycle || stretch_.end <= cycle) {
        stretch_ = NextStretch(cycle);
        bus_.HoldBa(stretch_.start, stretch_.end);
    }
}

std::uint64_t VicII::RunEvents(std::uint64_t cycle) {
    for (;;) {
        const std::uint64_t next = NextEvent(cycle);
        if (next > cycle) return next;
        if (nextCompare_ == next) {
            CompareMatched(next);
            nextCompare_ = NextCompareCycle(next + 1);
        } else if (nextLine_ == next) {
            PassLine(LineStart(next));
            ScheduleFrom(next + 1);  // the line's sprite fetches may come first
        } else {
            stretch_ = NextStretch(next);
            bus_.HoldBa(stretch_.start, stretch_.end);
        }
    }
}

std::uint8_t VicII::ReadRegister(std::uint16_t offset, std::uint64_t cycle) {
    const int reg = offset & 0x3F;
    switch (reg) {
        case CONTROL_1: {
            const std::uint32_t line = RasterLine(cycle);
            return static_cast<std::uint8_t>((registers_[CONTROL_1] & 0x7F) | ((line >> 1) & 0x80));
        }
        case RASTER: return static_cast<std::uint8_t>(RasterLine(cycle));
        case CONTROL_2: return registers_[reg] | 0xC0;
        case MEMORY_POINTERS: return registers_[reg] | 0x01;
        case INTERRUPT_FLAGS: {
            const bool requested = (irqFlags_ & irqMask_ & 0x0F) != 0;
            return static_cast<std::uint8_t>(irqFlags_ | 0x70 | (requested ? INTERRUPT_REQUESTED : 0));
        }
        case INTERRUPT_MASK: return irqMask_ | 0xF0;
        case SPRITE_SPRITE_COLLISION:
        case SPRITE_DATA_COLLISION: return 0;  // nothing is drawn, so nothing collides
        default:
            if (reg >= BORDER_COLOUR && reg <= LAST_COLOUR) return registers_[reg] | 0xF0;
            if (reg > LAST_COLOUR) return 0xFF;
            return registers_[reg];
    }
}

void VicII::WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) {
    const int reg = offset & 0x3F;
    switch (reg) {
        case CONTROL_1:
        case RASTER: {
            NoteDisplayEnable(cycle);
            registers_[reg] = value;
            NoteDisplayEnable(cycle);
            // A compare value set to the line the beam is on fires at once.
            if (CompareLine() == RasterLine(cycle)) CompareMatched(cycle);
            break;
        }
        case INTERRUPT_FLAGS:
            irqFlags_ &= static_cast<std::uint8_t>(~value & 0x0F);
            UpdateIrq();
            break;
        case INTERRUPT_MASK:
            irqMask_ = value & 0x0F;
            UpdateIrq();
            break;
        default:
            registers_[reg] = value;
            break;
    }
    ScheduleFrom(cycle + 1);
    bus_.Reschedule(this, NextEvent(cycle + 1));
}

}  // namespace chipbox::machine
