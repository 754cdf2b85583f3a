// SPDX-License-Identifier: GPL-2.0-or-later
// The message boxes the windows show: one OK button, an icon, a caption and a
// text, and where there is one a detailed text the user can unfold. Behind an
// interface so that tests can read what would have been shown instead of
// waiting for someone to press OK.
#pragma once

#include <QString>

class QWidget;

namespace chipbox::window {

enum class MessageIcon { Exclamation, Information };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns when the box is dismissed. Without an owner the box belongs to
    // no window and blocks the whole program.
    virtual void Show(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                      const QString& detail = {}) = 0;
};

// The real boxes, modal to their owner.
class QtMessageBoxes final : public MessageBoxes {
public:
    void Show(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
              const QString& detail = {}) override;
};

}  // namespace chipbox::window
