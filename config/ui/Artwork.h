#pragma once

#include <QIcon>
#include <QPixmap>

namespace MW {

// The 440 x 56 banner every page shows at its top-left corner, from the
// program's resources; a null pixmap when it cannot be decoded (the page then
// shows an empty picture and works on).
QPixmap loadBanner();

// The program's icon in every size it ships (window, tray, task bar).
QIcon appIcon();

} // namespace MW
