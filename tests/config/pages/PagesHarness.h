#pragma once
// The three pages and the settings transfer against the real service, wired to
// the link the way the main window wires them.

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CServiceLink.h"
#include "CSettingsDlg.h"
#include "SettingsTransfer.h"

#include <QTabWidget>

namespace MW::Test {

struct PagesHarness {
    PagesHarness();

    // One load or save through a fresh Config object, as the main window does.
    void load();
    void save();
    // The main window's event reactions, reduced to what concerns the pages.
    void followEvents();

    QTabWidget tabs;
    COverviewDlg* overview;
    CSettingsDlg* settings;
    CContactUsDlg* contact;
    CServiceLink link;
    SettingsTransfer transfer;
    int saves = 0;
    int reconnects = 0;
};

} // namespace MW::Test
