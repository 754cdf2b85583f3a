// SPDX-License-Identifier: GPL-2.0-or-later
// The SID tests' starting point: the engine at program start and the SID at
// the render rate, as playback starts it.
#pragma once

#include <gtest/gtest.h>

#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox::test {

class SidTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngine();
        SidInit(RENDER_RATE);
    }
    static VoiceSynth& Voice(int v) { return sidState.voices[v]; }
};

}  // namespace chipbox::test
