// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/sdl_library.h"

#include "platform/dynamic_library.h"

namespace chipbox {

namespace {

constexpr const char* SDL_NAME = "libSDL2-2.0.so.0";

template <class Function>
bool LookUp(const DynamicLibrary& library, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(library.Symbol(name));
    return entry != nullptr;
}

bool LookUpAll(const DynamicLibrary& library, SdlLibrary& sdl) {
    return LookUp(library, "SDL_SetHint", sdl.SetHint) &&
           LookUp(library, "SDL_WasInit", sdl.WasInit) &&
           LookUp(library, "SDL_InitSubSystem", sdl.InitSubSystem) &&
           LookUp(library, "SDL_GetError", sdl.GetError) &&
           LookUp(library, "SDL_OpenAudioDevice", sdl.OpenAudioDevice) &&
           LookUp(library, "SDL_PauseAudioDevice", sdl.PauseAudioDevice) &&
           LookUp(library, "SDL_LockAudioDevice", sdl.LockAudioDevice) &&
           LookUp(library, "SDL_UnlockAudioDevice", sdl.UnlockAudioDevice) &&
           LookUp(library, "SDL_CloseAudioDevice", sdl.CloseAudioDevice);
}

}  // namespace

const SdlLibrary* LoadSdlLibrary(std::string& failure) {
    // Kept for the whole run: SDL's audio thread runs code of the library.
    static DynamicLibrary library;
    static SdlLibrary sdl{};
    static bool complete = false;
    if (complete) return &sdl;
    if (!library.loaded() && !library.Load(SDL_NAME, {})) {
        failure = std::string("the sound library ") + SDL_NAME + " cannot be loaded";
        return nullptr;
    }
    complete = LookUpAll(library, sdl);
    if (!complete) failure = std::string(SDL_NAME) + " lacks its audio functions";
    return complete ? &sdl : nullptr;
}

}  // namespace chipbox
