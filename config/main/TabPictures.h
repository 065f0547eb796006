#pragma once

#include <QString>

namespace MW {

class CMainDlg;

// Shows each tab of the connected window and then the proxy dialog, saves a PNG
// of each into `dir` (created when missing) and returns the exit status: 0 when
// every picture was written, 1 otherwise. Nothing is saved to the service.
int saveScreenshots(CMainDlg& window, const QString& dir);

} // namespace MW
