// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/c64.h"

#include <algorithm>

#include "core/machine/rom/roms.h"

namespace chipbox::machine {

namespace {

// The system ROM's own reset tests the RAM before it waits for a key; three
// seconds are more than it takes.
constexpr std::uint64_t OWN_ROM_START_SECONDS = 3;
// The stand-in waits after a frame and a half at most; this bounds it anyway.
constexpr std::uint64_t STAND_IN_START_LIMIT = 200'000;
// Without an image the BASIC ROM reads as RTS, so that a call into it returns.
constexpr std::uint8_t RTS = 0x60;

template <std::size_t N>
void CopyImage(const std::vector<std::uint8_t>& image, std::array<std::uint8_t, N>& target) {
    std::copy_n(image.begin(), std::min(image.size(), N), target.begin());
}

}  // namespace

C64::C64(VideoStandard standard, const RomImages& roms, sidchip::ChipModel sidModel,
         const std::vector<SidSocket>& furtherSids)
    : cpu_(bus_),
      vic_(bus_, standard),
      cia1_(bus_, CiaLine::Irq, TimingOf(standard).clockHz, TimingOf(standard).framesPerSecondHz),
      cia2_(bus_, CiaLine::Nmi, TimingOf(standard).clockHz, TimingOf(standard).framesPerSecondHz),
      sid_(bus_, sidModel, static_cast<double>(TimingOf(standard).clockHz)) {
    ownKernal_ = roms.kernal.size() == KERNAL_SIZE;
    if (ownKernal_)
        CopyImage(roms.kernal, kernal_);
    else
        std::copy_n(rom::kernal.begin(), std::min(rom::kernal.size(), KERNAL_SIZE), kernal_.begin());
    hasBasic_ = roms.basic.size() == BASIC_SIZE;
    if (hasBasic_)
        CopyImage(roms.basic, basic_);
    else
        basic_.fill(RTS);
    if (roms.characters.size() == CHARACTER_ROM_SIZE) CopyImage(roms.characters, characters_);
    bus_.SetKernal(kernal_.data());
    bus_.SetBasic(basic_.data());
    bus_.SetCharacterRom(characters_.data());
    bus_.Attach(IoWindow::Vic, &vic_);
    bus_.Attach(IoWindow::Cia1, &cia1_);
    bus_.Attach(IoWindow::Cia2, &cia2_);
    AttachSids(furtherSids, static_cast<double>(TimingOf(standard).clockHz));
}

// One SID takes the whole of $D400-$D7FF itself; further ones share the
// window and the expansion port's through the sockets.
void C64::AttachSids(const std::vector<SidSocket>& furtherSids, double clockHz) {
    if (furtherSids.empty()) {
        bus_.Attach(IoWindow::Sid, &sid_);
        return;
    }
    std::vector<SidChip*> chips;
    for (const SidSocket& socket : furtherSids) {
        furtherSids_.push_back(std::make_unique<SidChip>(bus_, socket.model, clockHz));
        furtherAddresses_.push_back(socket.address);
        chips.push_back(furtherSids_.back().get());
    }
    sockets_ = std::make_unique<SidSockets>(bus_, sid_, chips, furtherAddresses_);
    bus_.Attach(IoWindow::Sid, sockets_.get());
    bus_.Attach(IoWindow::Expansion, sockets_.get());
}

void C64::PowerOn() {
    bus_.Reset();
    vic_.Reset(0);
    cia1_.Reset(0);
    cia2_.Reset(0);
    cpu_.Reset();
    if (ownKernal_) {
        cpu_.Run(OWN_ROM_START_SECONDS * timing().clockHz);
        return;
    }
    while (cpu_.registers.pc != STAND_IN_IDLE_LOOP && bus_.now() < STAND_IN_START_LIMIT)
        cpu_.Step();
}

}  // namespace chipbox::machine
