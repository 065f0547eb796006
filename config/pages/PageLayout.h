#pragma once
// Placing controls at their dialog-unit positions.

#include "DialogUnits.h"

class QLabel;
class QWidget;

namespace MW {

// Puts the control at (x, y, w, h) dialog units. Check boxes, radio buttons,
// one-line labels and group boxes grow when the font needs more room for their
// text than the template gave them, so no caption is ever clipped: buttons and
// labels to the right (and evenly in height), group boxes evenly on both sides.
void place(QWidget* control, const DialogUnits& du, int x, int y, int w, int h);

// The banner picture every page shows at its top-left corner; empty when the
// artwork is not linked in.
QLabel* addBanner(QWidget* page);

} // namespace MW
