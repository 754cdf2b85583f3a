// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace chipbox::window {

namespace {

constexpr int DIALOG_FONT_POINTS = 8;
constexpr int WIDTH_UNITS = 4;   // dialog units per average character width
constexpr int HEIGHT_UNITS = 8;  // dialog units per character height

// a * b / c, rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

QFont DialogFont() {
    QFont font(QStringLiteral("Tahoma"), DIALOG_FONT_POINTS);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The width of 52 letters, halved twice with the rounding a dialog uses.
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

// Each edge is converted on its own, so that neighbouring controls meet
// exactly where their units meet.
QRect MapDialogRect(const QRect& units, DialogBaseUnits base) {
    const int left = MulDiv(units.x(), base.width, WIDTH_UNITS);
    const int top = MulDiv(units.y(), base.height, HEIGHT_UNITS);
    const int right = MulDiv(units.x() + units.width(), base.width, WIDTH_UNITS);
    const int bottom = MulDiv(units.y() + units.height(), base.height, HEIGHT_UNITS);
    return {left, top, right - left, bottom - top};
}

}  // namespace chipbox::window
