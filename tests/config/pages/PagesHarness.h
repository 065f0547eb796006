#pragma once
// The three pages and the session against the real service, wired the way the
// main window wires them (CPagesView), without the window.

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CPagesView.h"
#include "CServiceLink.h"
#include "CServiceSession.h"
#include "CSettingsDlg.h"

#include <QTabWidget>

namespace MW::Test {

struct PagesHarness {
    PagesHarness();

    // The session's load and save, as the main window runs them.
    void load();
    void save();
    // The session's reactions to the service's events.
    void followEvents();

    CServiceLink& link() { return session.link(); }

    QTabWidget tabs;
    COverviewDlg* overview;
    CSettingsDlg* settings;
    CContactUsDlg* contact;
    CPagesView view;
    CServiceSession session;
    int saves = 0;
    int reconnects = 0;
    int announced = 0;
};

} // namespace MW::Test
