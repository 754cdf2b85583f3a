// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/message_boxes.h"

#include <QMessageBox>

namespace chipbox::window {

void QtMessageBoxes::Show(QWidget* owner, const QString& text, const QString& caption,
                          MessageIcon icon, const QString& detail) {
    QMessageBox box(
        icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::Information, caption,
        text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);  // a path may hold '<' and '&'
    if (!detail.isEmpty()) box.setDetailedText(detail);
    box.exec();
}

}  // namespace chipbox::window
