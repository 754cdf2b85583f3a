// SPDX-License-Identifier: GPL-2.0-or-later
// What the main window's two tool windows, the file browser and the mixer,
// share: where they open when no place is stored, and how an open one is
// brought back to the user.
#pragma once

#include "ui/common/collector_settings.h"

class QWidget;

namespace chipbox::window {

// Puts `toolWindow` (not yet shown) beside its owner so that the owner stays
// uncovered: to its right, else to its left, else below it, whichever first
// fits on the owner's screen; else wherever the window system puts it.
void PlaceBesideOwner(QWidget* toolWindow, const QWidget* owner);

// Brings an open tool window forward, restored, with the keyboard focus.
void FocusToolWindow(QWidget* toolWindow);

// A shown window's outer place and its size, as the collector's windows
// keep them; a window not shown leaves `place` as it is.
void RememberPlace(const QWidget* window, WindowPlace& place);
// Puts a collector's window where `place` says, or beside its owner.
void RestorePlace(QWidget* window, const WindowPlace& place, const QWidget* owner);

}  // namespace chipbox::window
