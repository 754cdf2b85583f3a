// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "playback/player_texts.h"
#include "ui/window/application_icon.h"
#include "ui/window/dialog_units.h"

namespace chipbox::window {

namespace {

constexpr QRect ABOUT_SIZE{0, 0, 230, 74};
constexpr QRect ICON_PLACE{11, 17, 20, 20};
constexpr QRect NAME_PLACE{40, 10, 80, 8};
constexpr QRect AUTHORSHIP_PLACE{40, 25, 175, 20};
constexpr QRect OK_PLACE{155, 5, 50, 14};
constexpr QRect CREDIT_PLACE{40, 50, 170, 15};
constexpr int ICON_PIXELS = 32;  // an icon control takes the icon's own size

QLabel* PlainLabel(QWidget* parent, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QString::fromUtf8(ABOUT_CAPTION));
    setFont(DialogFont());
    const DialogPlacer place(font());

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(ICON_PIXELS, ICON_PIXELS));
    icon->setGeometry(QRect(place(ICON_PLACE).topLeft(), QSize(ICON_PIXELS, ICON_PIXELS)));
    PlainLabel(this, QString::fromLatin1(PROGRAM_CAPTION), place(NAME_PLACE));
    PlainLabel(this, QString::fromUtf8(ABOUT_AUTHORSHIP_TEXT), place(AUTHORSHIP_PLACE));
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setGeometry(place(OK_PLACE));
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    PlainLabel(this, QString::fromUtf8(ABOUT_CREDIT_TEXT), place(CREDIT_PLACE));

    setFixedSize(place(ABOUT_SIZE).size());
    okButton_->setFocus();
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace chipbox::window
