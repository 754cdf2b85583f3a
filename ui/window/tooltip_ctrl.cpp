// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/tooltip_ctrl.h"

#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace chipbox::window {

CMyToolTipCtrl::CMyToolTipCtrl(QObject* owner) : QObject(owner) {}

CMyToolTipCtrl::~CMyToolTipCtrl() = default;

void CMyToolTipCtrl::AddControlTool(QWidget* control, const char* text) {
    tools_.insert(control, QString::fromUtf8(text));
    control->installEventFilter(this);
    // A destroyed control is no tool any more.
    connect(control, &QObject::destroyed, this, [this](QObject* gone) { tools_.remove(gone); });
}

QString CMyToolTipCtrl::ToolText(const QWidget* control) const { return tools_.value(control); }

bool CMyToolTipCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return false;
    const auto tool = tools_.constFind(watched);
    if (tool == tools_.constEnd()) return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), *tool, static_cast<QWidget*>(watched));
    return true;
}

}  // namespace chipbox::window
