// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/application_icon.h"

#include <QString>

// The images are compiled into the library; a static library has to register
// them itself, and the macro only works outside any namespace.
static void RegisterImages() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(chipbox);
        return true;
    }();
    (void)registered;
}

namespace chipbox::window {

QIcon ApplicationIcon() {
    RegisterImages();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/chipbox/chipbox-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace chipbox::window
