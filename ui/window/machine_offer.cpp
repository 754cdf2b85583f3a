// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/machine_offer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace chipbox::window {

CMachineOffer::CMachineOffer(QWidget* owner, const QString& reason)
    : QDialog(owner, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("machineOffer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Chipbox"));
    auto* text = new QLabel(QString::fromUtf8(MACHINE_OFFER_TEXT).arg(reason), this);
    text->setObjectName(QStringLiteral("offerText"));
    text->setWordWrap(true);
    accept_ = new QPushButton(QStringLiteral("Play on the &Complete Machine"), this);
    accept_->setObjectName(QStringLiteral("offerAcceptButton"));
    auto* later = new QPushButton(QStringLiteral("&Not Now"), this);
    later->setObjectName(QStringLiteral("offerDeclineButton"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addWidget(accept_);
    layout->addWidget(later);
    connect(accept_, &QPushButton::clicked, this, [this] {
        emit taken();
        close();
    });
    connect(later, &QPushButton::clicked, this, &QDialog::close);
    setMinimumWidth(owner != nullptr ? std::max(owner->frameGeometry().width(), 420) : 420);
    adjustSize();
    if (owner != nullptr) move(owner->frameGeometry().bottomLeft() + QPoint(0, 1));
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
}

}  // namespace chipbox::window
