// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/tune_loading.h"

#include <filesystem>
#include <system_error>

#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "playback/player_view.h"

namespace chipbox {

std::string currentTunePath;

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

LoadResult LoadTune(const std::string& path, bool autoPlay) {
    return LoadTune(path, ReadTuneFile(path), autoPlay);
}

LoadResult LoadTune(const std::string& path, const TuneFile& file, bool autoPlay) {
    PlayerView& view = ConnectedPlayerView();
    currentTunePath = RecordTunePath(path);
    if (file.problem != TuneFileProblem::None) {
        const LoadMessage message = LoadFailureMessage(file.problem, path);
        view.ShowMessage(message.text, message.caption);
        return {file.problem, file.error};
    }
    view.SetTitle(TuneWindowTitle(path));
    StopPlayback();
    StartEngine();
    std::string name, author, released;
    LoadPsidFile(file.bytes, name, author, released);
    view.SetTuneTexts(name, author, released);
    view.SetSubsongText(SubsongText(tuneInfo.currentSong, tuneInfo.lastSong));
    if (autoPlay) view.PostPlayCommand();
    return {};
}

}  // namespace chipbox
