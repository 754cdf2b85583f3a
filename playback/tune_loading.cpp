// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/tune_loading.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "core/machine/sid_header.h"
#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "playback/player_view.h"

namespace chipbox {

std::string currentTunePath;

namespace {

// What the player shows of an RSID tune; its code never runs in the
// default model, so nothing is placed in its memory.
void TakeRsidHeader(const machine::SidHeader& header, std::string& name, std::string& author,
                    std::string& released) {
    tuneInfo.rsid = true;
    tuneInfo.version = header.version;
    tuneInfo.flags = header.flags;
    tuneInfo.loadAddress = header.loadAddress;
    tuneInfo.initAddress = header.initAddress;
    tuneInfo.playAddress = 0;
    tuneInfo.playFromIrqVector = false;
    tuneInfo.dataSize = static_cast<std::uint16_t>(header.data.size());
    tuneInfo.lastSong = static_cast<std::uint8_t>(header.songs - 1);
    tuneInfo.currentSong = static_cast<std::uint8_t>(header.startSong - 1);
    tuneInfo.ciaTiming = false;
    tuneInfo.name = name = header.name;
    tuneInfo.author = author = header.author;
    tuneInfo.released = released = header.released;
}

TuneFileProblem MachineProblem(const TuneFile& file) {
    if (file.problem != TuneFileProblem::None) return file.problem;
    const machine::ParsedHeader parsed = machine::ParseSidHeader(file.bytes);
    if (parsed.header.basicProgram() && parsed.problem == machine::HeaderProblem::None) {
        if (!RomImagesRunBasic()) return TuneFileProblem::NeedsBasic;
    }
    return TuneFileProblem::None;
}

}  // namespace

std::string RecordTunePath(const std::string& path, const std::string& workingDirectory) {
    if (path.find('/') != std::string::npos) return path;
    std::string full = workingDirectory;
    if (full.empty() || full.back() != '/') full.push_back('/');
    return full + path;
}

std::string RecordTunePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    return RecordTunePath(path, error ? std::string() : cwd.string());
}

TuneFile ReadTuneFile(const std::string& path, FileKinds kinds) {
    BoundedRead read = ReadBoundedFile(path, TUNE_READ_LIMIT, kinds);
    TuneFile file;
    if (read.isDirectory) {
        file.problem = TuneFileProblem::IsDirectory;
    } else if (read.notRegular) {
        file.problem = TuneFileProblem::NotRegularFile;
    } else if (read.error != 0) {
        file.problem = TuneFileProblem::CannotOpen;
        file.error = read.error;
    } else {
        file.problem = CheckTuneContents(read.bytes);
        if (file.problem == TuneFileProblem::None) file.bytes = std::move(read.bytes);
    }
    return file;
}

LoadResult LoadTune(const std::string& path, bool autoPlay) {
    return LoadTune(path, ReadTuneFile(path, FileKinds::RegularOnly), autoPlay);
}

LoadResult LoadTune(const std::string& path, const TuneFile& file, bool autoPlay) {
    PlayerView& view = ConnectedPlayerView();
    currentTunePath = RecordTunePath(path);
    if (const TuneFileProblem problem = MachineProblem(file); problem != TuneFileProblem::None) {
        const LoadMessage message = LoadFailureMessage(problem, path);
        view.ShowMessage(message.text, message.caption);
        return {problem, file.error};
    }
    view.SetTitle(TuneWindowTitle(path));
    StopPlayback();
    StartEngine();
    std::string name, author, released;
    ForgetMachineTune();
    LoadMachineTune(file.bytes);
    tuneInfo.rsid = false;
    if (MachineTuneIsRsid())
        TakeRsidHeader(MachineTuneHeader(), name, author, released);
    else
        LoadPsidFile(file.bytes, name, author, released);
    view.SetTuneTexts(name, author, released);
    view.SetSubsongText(SubsongText(tuneInfo.currentSong, tuneInfo.lastSong));
    if (autoPlay) view.PostPlayCommand();
    return {};
}

}  // namespace chipbox
