// SPDX-License-Identifier: GPL-2.0-or-later
// SDL's audio functions, loaded the first time a sound card is opened: a
// program that renders to a file or shows a tune's information never loads
// the sound system and its many libraries.
//
// Threads: loaded on the thread that opens the device; afterwards the table
// is only read.
#pragma once

#include <SDL.h>

#include <string>

namespace chipbox {

struct SdlLibrary {
    decltype(&SDL_SetHint) SetHint;
    decltype(&SDL_WasInit) WasInit;
    decltype(&SDL_InitSubSystem) InitSubSystem;
    decltype(&SDL_GetError) GetError;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&SDL_LockAudioDevice) LockAudioDevice;
    decltype(&SDL_UnlockAudioDevice) UnlockAudioDevice;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
};

// The functions, or null with `failure` saying why they cannot be had.
const SdlLibrary* LoadSdlLibrary(std::string& failure);

}  // namespace chipbox
