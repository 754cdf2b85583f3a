// SPDX-License-Identifier: GPL-2.0-or-later
// The offer to play a tune that is silent in the default model on the
// complete machine: a small bar below the player window that asks without
// stopping anything, and goes away by itself at the next tune.
#pragma once

#include <QDialog>

class QPushButton;

namespace chipbox::window {

inline constexpr const char* MACHINE_OFFER_TEXT =
    "This tune plays silent here: it uses what only the complete machine runs (%1). "
    "Play it on the complete machine?";

class CMachineOffer final : public QDialog {
    Q_OBJECT
public:
    // `reason` names what the tune used. Shows itself below `owner`; it
    // deletes itself when it closes.
    CMachineOffer(QWidget* owner, const QString& reason);
    QPushButton* acceptButton() const { return accept_; }

signals:
    // The user took the offer.
    void taken();

private:
    QPushButton* accept_ = nullptr;
};

}  // namespace chipbox::window
