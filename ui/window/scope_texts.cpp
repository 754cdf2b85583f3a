// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/scope_texts.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace chipbox::window {

namespace {

constexpr double ACCUMULATOR_STEPS = 16777216.0;  // the 24-bit phase
constexpr double LOWEST_NOTE_HZ = 16.0;
constexpr std::array<const char*, 12> NOTE_NAMES = {"C-", "C#", "D-", "D#", "E-", "F-",
                                                    "F#", "G-", "G#", "A-", "A#", "B-"};

std::string Joined(const std::string& first, const char* next) {
    std::string text = first;
    if (!text.empty()) text.push_back('+');
    text.append(next);
    return text;
}

// The twelve bits a waveform gives at `phase`, as the chip's waveform DAC
// sees them; combined waveforms are shown as their bits' AND, which is how
// they sound in first approximation.
unsigned WaveformBits(std::uint8_t control, int pulseWidth, double phase, std::uint64_t noiseStep) {
    const auto sawtooth = static_cast<unsigned>(phase * 4095.0);
    unsigned bits = 0xFFF;
    bool any = false;
    if (control & 0x10) {
        const unsigned triangle = phase < 0.5 ? static_cast<unsigned>(phase * 2 * 4095.0)
                                              : static_cast<unsigned>((1.0 - phase) * 2 * 4095.0);
        bits &= triangle, any = true;
    }
    if (control & 0x20) bits &= sawtooth, any = true;
    if (control & 0x40) bits &= sawtooth >= static_cast<unsigned>(pulseWidth) ? 0xFFFu : 0u, any = true;
    if (control & 0x80) {
        // A fixed scramble of the step: noise that looks like noise.
        std::uint64_t x = noiseStep * 0x9E3779B97F4A7C15ull;
        x ^= x >> 29;
        bits &= static_cast<unsigned>(x & 0xFFF), any = true;
    }
    return any ? bits : 0x800;
}

}  // namespace

std::string NoteName(double hertz) {
    if (!(hertz >= LOWEST_NOTE_HZ)) return "---";
    const int semitones = static_cast<int>(std::lround(12.0 * std::log2(hertz / 440.0))) + 57;
    if (semitones < 0) return "---";
    char text[16];
    std::snprintf(text, sizeof text, "%s%d", NOTE_NAMES[static_cast<std::size_t>(semitones % 12)],
                  semitones / 12);
    return text;
}

VoiceView ViewVoice(const ScopeChip& chip, int voice, double clockHz) {
    const std::size_t base = static_cast<std::size_t>(voice) * 7;
    const auto& r = chip.registers;
    VoiceView view;
    const int frequency = r[base] | r[base + 1] << 8;
    const std::uint8_t control = r[base + 4];
    view.hertz = frequency * clockHz / ACCUMULATOR_STEPS;
    view.pulseWidth = (r[base + 2] | r[base + 3] << 8) & 0xFFF;
    view.attack = r[base + 5] >> 4;
    view.decay = r[base + 5] & 0x0F;
    view.sustain = r[base + 6] >> 4;
    view.release = r[base + 6] & 0x0F;
    view.gate = control & 0x01;
    view.sync = control & 0x02;
    view.ring = control & 0x04;
    view.level = chip.envelopes[static_cast<std::size_t>(voice)];
    if (control & 0x08) view.waveform = "TEST";
    if (control & 0x10) view.waveform = Joined(view.waveform, "TRI");
    if (control & 0x20) view.waveform = Joined(view.waveform, "SAW");
    if (control & 0x40) view.waveform = Joined(view.waveform, "PUL");
    if (control & 0x80) view.waveform = Joined(view.waveform, "NOI");
    if (view.waveform.empty()) view.waveform = "---";
    view.note = (control & 0xF0) && !(control & 0x08) ? NoteName(view.hertz) : "---";
    return view;
}

FilterView ViewFilter(const ScopeChip& chip) {
    const auto& r = chip.registers;
    FilterView view;
    view.cutoff = (r[21] & 0x07) | r[22] << 3;
    view.resonance = r[23] >> 4;
    if (r[24] & 0x10) view.mode = Joined(view.mode, "LP");
    if (r[24] & 0x20) view.mode = Joined(view.mode, "BP");
    if (r[24] & 0x40) view.mode = Joined(view.mode, "HP");
    if (view.mode.empty()) view.mode = "off";
    for (int voice = 0; voice < 3; ++voice) {
        if (!(r[23] & (1 << voice))) continue;
        if (!view.routed.empty()) view.routed.push_back(' ');
        view.routed.push_back(static_cast<char>('1' + voice));
    }
    if (view.routed.empty()) view.routed = "none";
    view.voice3Off = r[24] & 0x80;
    view.volume = r[24] & 0x0F;
    return view;
}

std::string VoiceLine(int voice, const VoiceView& view) {
    char text[128];
    std::snprintf(text, sizeof text, "%d %-4s %-11s PW %4d  ADSR %X%X%X%X %s%s%s", voice + 1,
                  view.note.c_str(), view.waveform.c_str(), view.pulseWidth, view.attack,
                  view.decay, view.sustain, view.release, view.gate ? "gate" : "    ",
                  view.sync ? " sync" : "", view.ring ? " ring" : "");
    return text;
}

std::string FilterLine(const FilterView& view) {
    char text[128];
    std::snprintf(text, sizeof text, "Filter %4d  res %2d  %-8s voices %s%s  vol %d", view.cutoff,
                  view.resonance, view.mode.c_str(), view.routed.c_str(),
                  view.voice3Off ? "  3 off" : "", view.volume);
    return text;
}

double WaveformValue(std::uint8_t control, int pulseWidth, double phase, std::uint64_t noiseStep) {
    if (control & 0x08) return 0.0;
    const unsigned bits = WaveformBits(control, pulseWidth, phase - std::floor(phase), noiseStep);
    return static_cast<double>(bits) / 2047.5 - 1.0;
}

}  // namespace chipbox::window
