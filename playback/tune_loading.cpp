// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/tune_loading.h"

#include <filesystem>
#include <system_error>
#include <utility>

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
