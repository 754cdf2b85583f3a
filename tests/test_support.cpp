// SPDX-License-Identifier: GPL-2.0-or-later
#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/machine_model.h"
#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"
#include "sid/voice_synth.h"

namespace chipbox::test {

void Poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) c64Memory.bytes[address++] = byte;
}

std::string TunePath(const std::string& name) {
    return std::string(CHIPBOX_TEST_TUNE_DIR) + "/" + name + ".sid";
}

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "chipbox-tests" /
                                      (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::filesystem::path FreshFolder(const std::string& name) {
    const auto folder = std::filesystem::path(WriteTempFile(name, {})).replace_extension(".d");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

void ExecOrExit(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint16_t LoadTune(const std::string& path) {
    StartEngine();
    const std::string text = ReadFile(path);
    const std::vector<std::uint8_t> file(text.begin(), text.end());
    std::string name, author, released;
    return LoadPsidFile(file, name, author, released);
}

void StartTuneAsPlaybackDoes(const std::string& name) {
    LoadTune(TunePath(name));
    SidInit(RENDER_RATE);
    SidWrite(VOLUME_REGISTER, 0x0F);
    RestoreTuneImage();
    CallRoutine(tuneInfo.initAddress, tuneInfo.currentSong);
}

void HoldVoiceOneInSustain(std::uint8_t controlValue) {
    mixerSettings.voiceMuted[1] = 1;
    mixerSettings.voiceMuted[2] = 1;
    SidWrite(4, controlValue);
    SidWrite(6, 0xF0);
    SetupVoices();
    sidState.voices[0].envelopePhase = Sustain;
    sidState.voices[0].envelopeLevel = 0xF00000;
}

}  // namespace chipbox::test
