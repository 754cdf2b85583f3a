// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/hardsid_binding.h"

#include <atomic>

#include "platform/dynamic_library.h"
#include "sid/hardsid_link.h"

namespace chipbox {

namespace {

using InitMapperFunction = void (*)();

// The four entries the card library offers. Reading and muting lines are
// looked up as the library expects, but the player never calls them.
struct HardSidLibrary {
    DynamicLibrary library;
    void* writeToHardSid = nullptr;
    void* readFromHardSid = nullptr;
    void* initHardSidMapper = nullptr;
    void* muteHardSidLine = nullptr;
};

std::atomic<bool> bound{false};

void LookUpEntries(HardSidLibrary& card) {
    card.writeToHardSid = card.library.Symbol("WriteToHardSID");
    card.readFromHardSid = card.library.Symbol("ReadFromHardSID");
    card.initHardSidMapper = card.library.Symbol("InitHardSID_Mapper");
    card.muteHardSidLine = card.library.Symbol("MuteHardSID_Line");
}

}  // namespace

HardSidBindResult BindHardSid() {
    if (bound) return HardSidBindResult::Bound;
    // Never destroyed: the entries stay callable for the whole run.
    static auto* card = new HardSidLibrary;
    if (!card->library.loaded() && !card->library.Load(HARDSID_LIBRARY, {ExecutableFolder()}))
        return HardSidBindResult::NotFound;
    LookUpEntries(*card);
    if (!card->writeToHardSid) return HardSidBindResult::Corrupt;
    if (card->initHardSidMapper) reinterpret_cast<InitMapperFunction>(card->initHardSidMapper)();
    writeToHardSid = reinterpret_cast<WriteToHardSidFunction>(card->writeToHardSid);
    bound = true;
    return HardSidBindResult::Bound;
}

bool HardSidBound() { return bound; }

void ResetHardSidBinding() {
    bound = false;
    writeToHardSid = nullptr;
}

}  // namespace chipbox
