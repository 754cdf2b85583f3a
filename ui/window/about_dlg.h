// SPDX-License-Identifier: GPL-2.0-or-later
// The About box: the program's name, version and credits. Modal to the main
// window while playback goes on; "OK", Escape and the close box close it.
#pragma once

#include <QDialog>

class QPushButton;

namespace chipbox::window {

inline constexpr const char* ABOUT_CAPTION = "Info über Chipbox";
inline constexpr const char* ABOUT_AUTHORSHIP_TEXT =
    "Copyright © 2026 the Chipbox developers.\n"
    "Free software under the GNU GPL, version 2 or later.";
inline constexpr const char* ABOUT_CREDIT_TEXT =
    "6510 emulation and 6581 software renderer\nwritten by the Chipbox developers, 2026.";

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* owner);
    ~CAboutDlg() override;

    QPushButton* okButton() const { return okButton_; }

private:
    QPushButton* okButton_ = nullptr;
};

}  // namespace chipbox::window
