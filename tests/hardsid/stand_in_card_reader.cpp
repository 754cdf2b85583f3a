// SPDX-License-Identifier: GPL-2.0-or-later
#include <dlfcn.h>

#include "playback/hardsid_binding.h"
#include "stand_in_card.h"

namespace chipbox::test {

namespace {

// The stand-in the player has loaded, if any: looked up without loading it.
template <class Function>
Function* Entry(const char* name) {
    void* library = dlopen(HARDSID_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (!library) return nullptr;
    auto* entry = reinterpret_cast<Function*>(dlsym(library, name));
    dlclose(library);
    return entry;
}

}  // namespace

std::vector<CardCall> StandInCardCalls() {
    auto* count = Entry<std::size_t()>("StandInCardCallCount");
    auto* copy = Entry<void(CardCall*, std::size_t)>("StandInCardCopyCalls");
    if (!count || !copy) return {};
    std::vector<CardCall> calls(count());
    copy(calls.data(), calls.size());
    return calls;
}

void ClearStandInCard() {
    if (auto* clear = Entry<void()>("StandInCardClear")) clear();
}

}  // namespace chipbox::test
