// SPDX-License-Identifier: GPL-2.0-or-later
// Our self-checking 6502 programs on the real machine: each checks one
// chip's behaviour from inside, as a C64 program would see it.
#include "machine_fixture.h"

namespace chipbox {
namespace {

struct Program {
    const char* name;
    machine::VideoStandard standard;
};

class ProgramTest : public ::testing::TestWithParam<Program> {};

TEST_P(ProgramTest, PassesEveryCheck) {
    const test::ProgramResult result = test::RunTestProgram(GetParam().name, GetParam().standard);
    EXPECT_EQ(result.verdict, test::PASSED) << "check " << int(result.lastCheck) << " failed";
}

using machine::VideoStandard;
INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramTest,
    ::testing::Values(Program{"cia_timers", VideoStandard::Pal}, Program{"tod", VideoStandard::Pal},
                      Program{"raster_irq", VideoStandard::Pal},
                      Program{"raster_irq", VideoStandard::Ntsc},
                      Program{"bad_lines", VideoStandard::Pal},
                      Program{"bad_lines", VideoStandard::Ntsc},
                      Program{"irq_latency", VideoStandard::Pal},
                      Program{"nmi_edge", VideoStandard::Pal}, Program{"banking", VideoStandard::Pal},
                      Program{"rmw", VideoStandard::Pal}, Program{"kernal", VideoStandard::Pal},
                      Program{"kernal", VideoStandard::Ntsc}),
    [](const ::testing::TestParamInfo<Program>& program) {
        return std::string(program.param.name) +
               (program.param.standard == VideoStandard::Pal ? "_Pal" : "_Ntsc");
    });

}  // namespace
}  // namespace chipbox
