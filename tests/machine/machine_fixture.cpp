// SPDX-License-Identifier: GPL-2.0-or-later
#include "machine_fixture.h"

#include "test_support.h"

namespace chipbox::test {

namespace {

constexpr std::uint16_t VERDICT = 0x0380;
constexpr std::uint16_t LAST_CHECK = 0x0381;
constexpr std::uint64_t STEP_CYCLES = 10'000;

}  // namespace

std::vector<std::uint8_t> ReadTuneBytes(const std::string& name) {
    const std::string bytes = ReadFile(TunePath(name));
    return {bytes.begin(), bytes.end()};
}

ProgramResult RunTestProgram(const std::string& name, machine::VideoStandard standard,
                             double seconds) {
    const std::vector<std::uint8_t> file = ReadTuneBytes(name);
    const machine::ParsedHeader parsed = machine::ParseSidHeader(file);
    EXPECT_EQ(parsed.problem, machine::HeaderProblem::None) << name;
    machine::C64 c64(standard, {});
    EXPECT_EQ(machine::StartTune(c64, parsed.header, 0), machine::StartProblem::None);
    const auto end = c64.now() + static_cast<std::uint64_t>(seconds * c64.timing().clockHz);
    auto& ram = c64.bus().ram();
    while (c64.now() < end && ram[VERDICT] == 0) c64.RunUntil(c64.now() + STEP_CYCLES);
    return {ram[VERDICT], ram[LAST_CHECK]};
}

}  // namespace chipbox::test
