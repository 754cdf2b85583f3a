#include "core/tune_file_checks.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/version.h"

namespace chipbox {

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

TuneFileCheck CheckTuneFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return TuneFileCheck::CannotOpen;
    std::ifstream file(path, std::ios::binary);
    if (!file) return TuneFileCheck::CannotOpen;
    std::array<char, 4> magic{};
    file.read(magic.data(), magic.size());
    const bool isPsid = magic == std::array<char, 4>{'P', 'S', 'I', 'D'};
    return isPsid ? TuneFileCheck::Ok : TuneFileCheck::NotPsid;
}

LoadMessage LoadFailureMessage(TuneFileCheck check, const std::string& path) {
    if (check == TuneFileCheck::CannotOpen) return {path + "\ncould not be loaded...", "Warning"};
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

}  // namespace chipbox
