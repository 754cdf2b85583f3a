// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/player_texts.h"

#include <cstdio>

#include "core/tune_info.h"
#include "playback/machine_playback.h"
#include "sid/hardsid_link.h"

namespace chipbox {

LoadMessage LoadFailureMessage(TuneFileProblem problem, const std::string& path) {
    if (problem == TuneFileProblem::CannotOpen || problem == TuneFileProblem::IsDirectory ||
        problem == TuneFileProblem::NotRegularFile)
        return {path + "\ncould not be loaded...", "Warning"};
    if (problem == TuneFileProblem::InvalidRsid)
        return {path + "\nis not a valid RSID File!", "?! Load Error"};
    if (problem == TuneFileProblem::NeedsBasic)
        return {path + "\n" + BASIC_PROGRAM_TEXT, "?! Load Error"};
    return {path + "\nis not a valid PSID File!", "?! Load Error"};
}

std::string TuneFileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TuneWindowTitle(const std::string& path) {
    return TuneFileName(path) + " - " + PROGRAM_CAPTION;
}

std::string SubsongText(std::uint8_t currentSong, std::uint8_t lastSong) {
    return std::to_string(currentSong + 1) + " / " + std::to_string(lastSong + 1);
}

namespace {

const char* ModelName(sidchip::ChipModel model) {
    return model == sidchip::ChipModel::Mos8580 ? "8580" : "6581";
}

std::string HexAddress(std::uint16_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", address);
    return text;
}

std::string ChipsText() {
    const std::vector<MachineSidInfo> sids = MachineSids();
    if (sids.size() == 1) return std::string("the ") + ModelName(sids[0].model) + " SID";
    std::string text = std::to_string(sids.size()) + " SIDs:";
    for (std::size_t i = 0; i < sids.size(); ++i)
        text += std::string(i ? ", " : " ") + "the " + ModelName(sids[i].model) + " at " +
                HexAddress(sids[i].address);
    return text + (MachineChannels() == 2 ? ", in stereo" : ", in mono");
}

std::string IgnoredSidsText() {
    std::string text;
    for (const std::uint16_t address : MachineTuneHeader().ignoredSidAddresses)
        text += "\nA SID at " + HexAddress(address) + " is not a valid place; ignored.";
    return text;
}

}  // namespace

std::string MachineText() {
    if (!MachinePlays()) {
        const auto& further = MachineTuneHeader().extraSids;
        if (further.empty()) return {};
        const std::string chips = "For " + std::to_string(further.size() + 1) + " SIDs: ";
        if (hardSidMode)
            return chips + "the HardSID card plays the first only." + IgnoredSidsText();
        return chips + "all are heard on the complete machine only." + IgnoredSidsText();
    }
    const char* standard = MachineVideoStandard() == machine::VideoStandard::Ntsc ? "NTSC" : "PAL";
    return std::string(tuneInfo.rsid ? "RSID" : "PSID") + " on the real C64 (" + standard +
           ") with " + ChipsText() + IgnoredSidsText();
}

std::string SongInformationText() {
    const int start = tuneInfo.loadAddress;
    const int size = tuneInfo.dataSize;
    const int blocks = (size + 255) / 256;
    char text[200];
    std::snprintf(text, sizeof text,
                  "Start Address: $%04X\nEnd Address: $%04X\n\nInit Address: $%04X\n"
                  "Play Address: $%04X\n\nSong Size: %d bytes (%d blocks)",
                  start, start + size, tuneInfo.initAddress, tuneInfo.playAddress.load(), size,
                  blocks);
    const std::string machine = MachineText();
    return machine.empty() ? std::string(text) : std::string(text) + "\n\n" + machine;
}

}  // namespace chipbox
