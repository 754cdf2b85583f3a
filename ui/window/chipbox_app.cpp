// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/chipbox_app.h"

#include <cstdio>
#include <optional>
#include <string>

#include "platform/sdl_audio_device.h"
#include "playback/audio_stream.h"
#include "playback/engine_state.h"
#include "ui/common/ui_settings.h"
#include "ui/window/application_icon.h"
#include "ui/window/chipbox_dlg.h"
#include "ui/window/command_line.h"
#include "ui/window/exit_status.h"
#include "ui/window/instance_channel.h"
#include "ui/window/message_boxes.h"
#include "ui/window/mpris_player.h"
#include "ui/window/stop_signals.h"

namespace chipbox::window {

CChipboxApp::CChipboxApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The path as the file system spells it, not decoded and encoded again.
    if (argc > 1) commandLineArgument_ = argv[1];
    executablePath_ = argc > 0 ? argv[0] : "chipbox";
    setApplicationName(QStringLiteral("chipbox"));
    setDesktopFileName(QStringLiteral("chipbox"));
    // Also for the message boxes that may come before the window shows.
    setWindowIcon(ApplicationIcon());
}

CChipboxApp::~CChipboxApp() = default;

int CChipboxApp::InitInstance() {
    // Made absolute here, against the folder the user started us in: the
    // running instance, and this one once its settings are read, may be
    // somewhere else.
    const std::string path = AbsoluteTunePath(CutCommandLinePath(commandLineArgument_));

    const QString socketPath = InstanceSocketPath();
    InstanceDecisionLock decision(socketPath);
    if (!socketPath.isEmpty()) {
        switch (HandOver(socketPath, path)) {
            case HandOverResult::Handled: return EXIT_DONE;
            case HandOverResult::Refused:
                std::fprintf(stderr, "chipbox: the running Chipbox did not take %s\n",
                             path.c_str());
                return EXIT_START_FAILED;
            case HandOverResult::NoInstance: break;
        }
    }
    InstanceServer server;
    server.Listen(socketPath);  // without it this instance takes no hand-overs
    decision.Unlock();

    ResetEngine();
    IniSettingsStore settings(SettingsFilePath(executablePath_));
    QtMessageBoxes messages;
    SdlAudioDevice device;
    UseAudioDevice(device);
    int status = EXIT_DONE;
    {
        CChipboxDlg dialog(settings, messages);
        MprisPlayer mpris(dialog);
        mpris.ConnectInBackground();
        dialog.SetCommandLinePath(path);
        status = RunMainWindow(dialog, [&server, &dialog] {
            server.Start(
                [&dialog](const std::string& handedOver) { dialog.ReceiveHandOver(handedOver); });
        });
    }
    CloseSoundOutput();
    return status;
}

int RunMainWindow(CChipboxDlg& dialog, const std::function<void()>& shown) {
    std::optional<int> ended;
    const auto end = [&ended](int status) {
        if (!ended) ended = status;
        QCoreApplication::exit(*ended);  // every loop, a box's among them
    };
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &dialog, &CChipboxDlg::reject);
    const QMetaObject::Connection finished =
        QObject::connect(&dialog, &QDialog::finished, [&end] { end(EXIT_DONE); });
    const QMetaObject::Connection quit =
        QObject::connect(&dialog, &CChipboxDlg::quitRequested, end);
    dialog.OnInitDialog();
    if (!ended) {
        dialog.show();
        shown();
        QCoreApplication::exec();
    }
    QObject::disconnect(finished);
    QObject::disconnect(quit);
    return ended.value_or(EXIT_DONE);
}

bool DisplayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace chipbox::window
