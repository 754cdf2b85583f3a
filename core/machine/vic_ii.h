// SPDX-License-Identifier: GPL-2.0-or-later
// The VIC-II as a tune can observe it: the raster counter, the raster
// interrupt and the cycles the chip takes from the processor for bad lines
// and sprite fetches. Nothing is drawn.
//
// The beam is worked out from the machine's clock, which starts at cycle 1
// of line 0 (cycle 0 here). Its events are the raster interrupt's line and
// the stretches in which BA is low: from three cycles before a bad line's 40
// character fetches (cycles 15-54, counted from 1 as the chip's timing
// diagrams do) and before each fetching sprite's pointer and data accesses.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstdint>

#include "core/machine/bus.h"

namespace chipbox::machine {

enum class VideoStandard { Pal, Ntsc };

struct VideoTiming {
    std::uint32_t clockHz;
    std::uint32_t lines;
    std::uint32_t cyclesPerLine;
    // The cycle (from 0) of each sprite's pointer access, in the line that
    // ends the sprite's line; values past the line's end fall in the next.
    std::array<std::uint32_t, 8> spritePointerCycle;
    std::uint32_t framesPerSecondHz;  // the power line's: 50 or 60

    std::uint64_t cyclesPerFrame() const { return std::uint64_t{lines} * cyclesPerLine; }
};

const VideoTiming& TimingOf(VideoStandard standard);

class VicII : public BusDevice {
public:
    VicII(Bus& bus, VideoStandard standard);

    std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) override;
    void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) override;
    std::uint64_t RunEvents(std::uint64_t cycle) override;

    // Power-on: every register 0, no interrupt, no sprite fetching.
    void Reset(std::uint64_t cycle);

    const VideoTiming& timing() const { return timing_; }
    std::uint32_t RasterLine(std::uint64_t cycle) const;
    std::uint32_t LineCycle(std::uint64_t cycle) const;

private:
    struct Stretch {
        std::uint64_t start = NEVER;  // BA low from here
        std::uint64_t end = NEVER;    // the processor may read again here
    };

    std::uint64_t LineStart(std::uint64_t cycle) const;
    std::uint32_t CompareLine() const;
    void NoteDisplayEnable(std::uint64_t cycle);
    bool DisplayEnabledInFrame(std::uint64_t frame) const;
    Stretch NextBadLine(std::uint64_t cycle) const;
    Stretch SpriteStretch(std::uint64_t lineStart) const;
    Stretch NextStretch(std::uint64_t cycle);
    void StartSpriteFetches(std::uint64_t lineStart);
    void PassLine(std::uint64_t lineStart);
    std::uint64_t NextCompareCycle(std::uint64_t cycle) const;
    void CompareMatched(std::uint64_t cycle);
    void UpdateIrq();
    void ScheduleFrom(std::uint64_t cycle);
    std::uint64_t NextEvent(std::uint64_t cycle) const;

    Bus& bus_;
    const VideoTiming& timing_;
    std::array<std::uint8_t, 0x40> registers_{};
    std::uint8_t irqFlags_ = 0;
    std::uint8_t irqMask_ = 0;
    std::uint64_t compareFiredLine_ = NEVER;  // the start of the line it last fired in
    std::uint64_t nextCompare_ = NEVER;
    bool displayEnabledInFrame_ = false;  // DEN was set in some cycle of line $30
    std::uint64_t frameOfDisplayEnable_ = NEVER;

    // Sprite DMA: how many more lines each sprite fetches, and the line whose
    // end the next fetches belong to.
    std::array<std::uint8_t, 8> spriteLinesLeft_{};
    std::uint64_t spriteLine_ = 0;   // the start of the line last passed
    std::uint64_t nextLine_ = NEVER;  // when PassLine next runs
    Stretch stretch_;                 // the one the bus holds now
};

}  // namespace chipbox::machine
