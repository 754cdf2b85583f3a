// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/tool_window.h"

#include <QScreen>
#include <QWidget>

namespace chipbox::window {

void PlaceBesideOwner(QWidget* toolWindow, const QWidget* owner) {
    if (owner == nullptr || owner->screen() == nullptr) return;
    const QRect ownerFrame = owner->frameGeometry();
    // The tool window has no frame until it is shown; the owner's, drawn by
    // the same window manager, stands in for it.
    const QSize frame = ownerFrame.size() - owner->geometry().size();
    const QSize outer = toolWindow->size() + frame;
    const QRect screen = owner->screen()->availableGeometry();
    // Right, left, then below; the first that fits on the screen.
    for (const QPoint& corner :
         {ownerFrame.topRight() + QPoint(1, 0), ownerFrame.topLeft() - QPoint(outer.width(), 0),
          ownerFrame.bottomLeft() + QPoint(0, 1)}) {
        if (screen.contains(QRect(corner, outer))) {
            toolWindow->move(corner);
            return;
        }
    }
}

void FocusToolWindow(QWidget* toolWindow) {
    toolWindow->setWindowState(toolWindow->windowState() & ~Qt::WindowMinimized);
    toolWindow->raise();
    toolWindow->activateWindow();
}

void RememberPlace(const QWidget* window, WindowPlace& place) {
    if (!window->isVisible()) return;
    const QRect outer = window->frameGeometry();
    place = {outer.x(), outer.y(), window->width(), window->height()};
}

void RestorePlace(QWidget* window, const WindowPlace& place, const QWidget* owner) {
    if (place.width > 0 && place.height > 0) window->resize(place.width, place.height);
    if (place.x >= 0)
        window->move(place.x, place.y);
    else
        PlaceBesideOwner(window, owner);
}

}  // namespace chipbox::window
