// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary text as the settings file: read as the window reads it at start,
// written back as it writes at exit, and read again. Every value read must
// survive the round trip, and the text must stay within the read limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/common/collector_settings.h"
#include "ui/common/profile_store.h"
#include "ui/common/ui_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace chipbox;
    CProfileStore store("/nonexistent/fuzz.INI");
    store.TakeText(std::string(reinterpret_cast<const char*>(data), size));
    const StartSettings read = ReadStartSettings(store);
    WriteExitSettings(store, read);
    if (store.text().size() > 2 * PROFILE_READ_LIMIT + 4096) std::abort();
    CProfileStore again("/nonexistent/fuzz.INI");
    again.TakeText(store.text());
    if (!(ReadStartSettings(again) == read)) std::abort();
    // The collector's windows' sections survive their round trip as well.
    const CollectorSettings collector = ReadCollectorSettings(again);
    CollectorSettings changed = collector;
    changed.scope.x = collector.scope.x == 1 ? 2 : 1;
    changed.repeat = !collector.repeat;
    WriteCollectorSettings(again, changed, collector);
    CProfileStore third("/nonexistent/fuzz.INI");
    third.TakeText(again.text());
    const CollectorSettings reread = ReadCollectorSettings(third);
    if (reread.scope != changed.scope || reread.repeat != changed.repeat) std::abort();
    return 0;
}
