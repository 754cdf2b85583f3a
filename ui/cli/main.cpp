// chipbox-cli: the command-line face of Chipbox.
#include <cstdio>
#include <string>
#include <vector>

#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_file_checks.h"
#include "core/version.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/tune_report.h"

namespace {

using namespace chipbox;

bool LoadTuneFile(const std::string& path) {
    const TuneFileCheck check = CheckTuneFile(path);
    if (check != TuneFileCheck::Ok) {
        const LoadMessage message = LoadFailureMessage(check, path);
        std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
        return false;
    }
    StartEngine();
    std::string name, author, released;
    LoadPsidFile(path, name, author, released);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = cli::ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
        std::fprintf(stderr, "chipbox-cli: %s\n\n%s", error->message.c_str(),
                     cli::UsageText().c_str());
        return cli::EXIT_USAGE;
    }
    const auto& options = std::get<cli::CliOptions>(parsed);
    if (options.help) {
        std::fputs(cli::UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", PROGRAM_CAPTION);
        return 0;
    }
    if (!options.info) return cli::RunCliPlayer(options);
    if (!LoadTuneFile(options.tunePath)) return cli::EXIT_LOAD_FAILED;
    std::fputs(cli::TuneReport().c_str(), stdout);
    return 0;
}
