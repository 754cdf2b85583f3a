// SPDX-License-Identifier: GPL-2.0-or-later
// Shared helpers for the tests: a clean machine, programs placed in memory,
// and the paths of the assembled test tunes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "playback/engine_state.h"

namespace chipbox::test {

// Copies bytes into memory from `address` on, without hooks.
void Poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes);

// The path of an assembled test tune, e.g. TunePath("minimal").
std::string TunePath(const std::string& name);

// Writes bytes to a fresh file in the test's temporary directory; returns its path.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// An empty folder of the running test's own.
std::filesystem::path FreshFolder(const std::string& name);

// In a forked child: runs `command`, found on the PATH, or ends the child
// with status 127.
[[noreturn]] void ExecOrExit(const std::vector<std::string>& command);

// A file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// StartEngine, then the file read and placed, as loading a tune does.
std::uint16_t LoadTune(const std::string& path);

// Loads a test tune and starts it as playback does, without a stream: SidInit
// at the render rate, volume 15, memory restored, init called with the start
// song.
void StartTuneAsPlaybackDoes(const std::string& name);

// Voice 1 held at level $F00000 in Sustain with the given control value, so
// its output is the waveform alone; voices 2 and 3 muted, so that their
// start-up attack adds nothing.
void HoldVoiceOneInSustain(std::uint8_t controlValue);

}  // namespace chipbox::test
