// SPDX-License-Identifier: GPL-2.0-or-later
// Recognising a routine that has become a loop repeating the whole machine's
// state, so that whole rounds of it can be counted instead of run.
//
// Many tunes that run every play call into the cycle limit wait in a loop
// that, in this machine, never ends: the loop's registers come back the same
// and the only memory it writes is put back to the same value. From the
// moment the state repeats, every round repeats it with the same cycles and
// instructions, so the rounds up to the limit can be added in one step and
// only the last part run: the result is what running all of it gives.
//
// This rests on two facts of the emulated machine: reads have no side
// effects (no timer or raster register moves when read), and a store has an
// effect beyond memory only in the SID's window. A device that changes on a
// read, or a store hook elsewhere, must end a watch here.
#pragma once

#include <array>
#include <cstdint>

#include "core/c64_memory.h"
#include "core/cpu.h"

namespace chipbox::interpreter {

// Watches the stores between a loop's anchor and its return to it.
class RepeatingLoop {
public:
    static constexpr int MOST_ADDRESSES = 8;

    // Before every store while anchored: the address's value from before the
    // loop's first store to it is kept. A store into the SID's window, or to
    // more addresses than kept, ends the watch.
    void BeforeStore(std::uint16_t address) {
        if (!anchored_ || broken_) return;
        if ((address & 0xFC00) == 0xD400) {
            broken_ = true;
            return;
        }
        for (int i = 0; i < count_; ++i)
            if (addresses_[i] == address) return;
        if (count_ == MOST_ADDRESSES) {
            broken_ = true;
            return;
        }
        addresses_[count_] = address;
        oldValues_[count_] = ReadMemory(address);
        ++count_;
    }

    bool anchored() const { return anchored_; }
    bool broken() const { return broken_; }
    std::uint16_t pc() const { return anchor_.pc; }
    std::uint64_t clock() const { return clock_; }

    void Anchor(const CpuState& state, std::uint64_t clock) {
        anchored_ = true;
        broken_ = false;
        count_ = 0;
        anchor_ = state;
        clock_ = clock;
    }

    void Drop() { anchored_ = false; }

    // The machine is back in the state it had at the anchor: the same
    // registers and flags, and every address the loop wrote holding its
    // value from then.
    bool Repeats(const CpuState& state) const {
        if (state.pc != anchor_.pc || state.a != anchor_.a || state.x != anchor_.x ||
            state.y != anchor_.y || state.s != anchor_.s || state.p != anchor_.p)
            return false;
        for (int i = 0; i < count_; ++i)
            if (ReadMemory(addresses_[i]) != oldValues_[i]) return false;
        return true;
    }

private:
    bool anchored_ = false;
    bool broken_ = false;
    int count_ = 0;
    CpuState anchor_{};
    std::uint64_t clock_ = 0;
    std::array<std::uint16_t, MOST_ADDRESSES> addresses_{};
    std::array<std::uint8_t, MOST_ADDRESSES> oldValues_{};
};

}  // namespace chipbox::interpreter
