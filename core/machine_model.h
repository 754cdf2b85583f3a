// SPDX-License-Identifier: GPL-2.0-or-later
// Which machine runs the tunes. The default model is the one every render so
// far was made with: undocumented opcodes as one-byte no-ops, no decimal
// mode, SID mirrors only from $D500, and a play rate of 19,456 timer counts
// per 20 ms. The complete machine, chosen by the user, runs undocumented
// opcodes and decimal mode as the NMOS 6510 does, forwards the SID's mirrors
// at $D420-$D4FF, and plays at the rate of the tune's video standard.
//
// Threads: chosen on the window's thread before playback starts; read by
// whichever thread runs the tune's code.
#pragma once

#include "sid/relaxed_atomic.h"

namespace chipbox {

enum class MachineModel { Default, Complete };

// The engine's command: which machine runs the tunes loaded from now on.
void SetMachineModel(MachineModel model);
MachineModel CurrentMachineModel();

// The choice as the interpreter and the memory read it on every step.
extern RelaxedAtomic<bool> completeMachine;

// What the tune's code has done, since it was last cleared, that the default
// model does not run as a C64 would: an undocumented opcode (skipped as one
// byte), or a store to the SID's mirrors at $D420-$D4FF (which the default
// model takes for its sample registers). Set by whichever thread runs the
// tune's code; the window reads it to offer the complete machine for a tune
// that plays silent.
struct DefaultModelShortfall {
    RelaxedAtomic<bool> undocumentedOpcode;
    RelaxedAtomic<bool> sidMirrorStore;
    bool any() const { return undocumentedOpcode || sidMirrorStore; }
};
extern DefaultModelShortfall defaultModelShortfall;
void ClearDefaultModelShortfall();

}  // namespace chipbox
