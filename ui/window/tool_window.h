// SPDX-License-Identifier: GPL-2.0-or-later
// What the main window's two tool windows, the file browser and the mixer,
// share: where they open when no place is stored, and how an open one is
// brought back to the user.
#pragma once

class QWidget;

namespace chipbox::window {

// Puts `toolWindow` (not yet shown) beside its owner so that the owner stays
// uncovered: to its right, else to its left, else below it, whichever first
// fits on the owner's screen; else wherever the window system puts it.
void PlaceBesideOwner(QWidget* toolWindow, const QWidget* owner);

// Brings an open tool window forward, restored, with the keyboard focus.
void FocusToolWindow(QWidget* toolWindow);

}  // namespace chipbox::window
