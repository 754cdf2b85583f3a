// SPDX-License-Identifier: GPL-2.0-or-later
// The program's icon, in every size it is drawn at.
#pragma once

#include <QIcon>

namespace chipbox::window {

QIcon ApplicationIcon();

}  // namespace chipbox::window
