// SPDX-License-Identifier: GPL-2.0-or-later
// Dialog units: the windows are laid out in units of their font, a quarter of
// its average character width across and an eighth of its height down, so
// that they keep their proportions whatever size the font comes out at.
#pragma once

#include <QFont>
#include <QRect>

namespace chipbox::window {

// The windows' font: Tahoma at 8 points, or what the system offers in its
// place where Tahoma is missing.
QFont DialogFont();

// The font's average character width (over the 52 letters, rounded) and its
// height, in pixels: 4 and 8 dialog units.
struct DialogBaseUnits {
    int width = 0;
    int height = 0;
};

DialogBaseUnits BaseUnitsOf(const QFont& font);

// A rectangle in dialog units, in pixels; each edge rounded to the nearest.
QRect MapDialogRect(const QRect& units, DialogBaseUnits base);

// Places rectangles given in the dialog units of one font.
class DialogPlacer {
public:
    explicit DialogPlacer(const QFont& font) : base_(BaseUnitsOf(font)) {}
    QRect operator()(const QRect& units) const { return MapDialogRect(units, base_); }

private:
    DialogBaseUnits base_;
};

}  // namespace chipbox::window
