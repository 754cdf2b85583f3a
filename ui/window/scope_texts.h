// SPDX-License-Identifier: GPL-2.0-or-later
// What the scope writes beside each trace, from a chip's registers: the
// voice's note, waveform, pulse width, envelope and gate, and the filter's
// cutoff, resonance, mode and routing.
#pragma once

#include <cstdint>
#include <string>

#include "playback/scope_feed.h"

namespace chipbox::window {

struct VoiceView {
    double hertz = 0;
    std::string note;      // "A-4", "C#5"; "---" when silent
    std::string waveform;  // "TRI", "SAW", "PUL", "NOI", joined by '+', "TEST"; "---"
    int pulseWidth = 0;    // 0..4095
    int attack = 0, decay = 0, sustain = 0, release = 0;
    bool gate = false;
    bool sync = false, ring = false;
    int level = 0;  // the envelope, 0..255
};

struct FilterView {
    int cutoff = 0;     // the 11-bit register
    int resonance = 0;  // 0..15
    std::string mode;   // "LP", "BP", "HP" joined by '+'; "off"
    std::string routed; // the voices going through it, "1 3"; "none"
    bool voice3Off = false;
    int volume = 0;
};

VoiceView ViewVoice(const ScopeChip& chip, int voice, double clockHz);
FilterView ViewFilter(const ScopeChip& chip);
// The note nearest `hertz`, with C-4 at 261.6 Hz; "---" below 16 Hz.
std::string NoteName(double hertz);
// The voice's one line of text, as the scope shows it.
std::string VoiceLine(int voice, const VoiceView& view);
std::string FilterLine(const FilterView& view);
// The voice's waveform at `phase` (0..1 of a period, noise at step
// `noiseStep`), -1..1 before the envelope, for the trace.
double WaveformValue(std::uint8_t control, int pulseWidth, double phase, std::uint64_t noiseStep);

}  // namespace chipbox::window
