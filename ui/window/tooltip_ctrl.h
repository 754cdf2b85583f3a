// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's tooltips: each registered control gets its fixed text
// when the pointer rests on it. The tooltip watches the control's own events;
// nothing needs to be relayed to it.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

namespace chipbox::window {

class CMyToolTipCtrl final : public QObject {
    Q_OBJECT
public:
    explicit CMyToolTipCtrl(QObject* owner);
    ~CMyToolTipCtrl() override;

    // Registers `control` as a tool showing `text` (a constant, UTF-8).
    void AddControlTool(QWidget* control, const char* text);

    // The text registered for `control`, empty when it is no tool.
    QString ToolText(const QWidget* control) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHash<const QObject*, QString> tools_;
};

}  // namespace chipbox::window
