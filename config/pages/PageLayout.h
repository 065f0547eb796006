#pragma once
// Placing controls at their dialog-unit positions.

#include "DialogUnits.h"

class QLabel;
class QWidget;

namespace MW {

// Puts the control at (x, y, w, h) dialog units. Check boxes, radio buttons and
// one-line labels grow to their text when the font needs more room than the
// template gave them, keeping their top-left corner and vertical centre, so no
// caption is ever clipped.
void place(QWidget* control, const DialogUnits& du, int x, int y, int w, int h);

// The banner picture every page shows at its top-left corner; empty when the
// artwork is not linked in.
QLabel* addBanner(QWidget* page);

} // namespace MW
