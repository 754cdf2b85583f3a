#include "playback/tune_loading.h"

#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_file_checks.h"
#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/player_view.h"

namespace chipbox {

std::string currentTunePath;

bool LoadTune(const std::string& path, bool autoPlay) {
    PlayerView& view = ConnectedPlayerView();
    currentTunePath = RecordTunePath(path);
    const TuneFileCheck check = CheckTuneFile(path);
    if (check != TuneFileCheck::Ok) {
        const LoadMessage message = LoadFailureMessage(check, path);
        view.ShowMessage(message.text, message.caption);
        return false;
    }
    view.SetTitle(TuneWindowTitle(path));
    StopPlayback();
    StartEngine();
    std::string name, author, released;
    LoadPsidFile(path, name, author, released);
    view.SetTuneTexts(name, author, released);
    view.SetSubsongText(SubsongText(tuneInfo.currentSong, tuneInfo.lastSong));
    if (autoPlay) view.PostPlayCommand();
    return true;
}

}  // namespace chipbox
