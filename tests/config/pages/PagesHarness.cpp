#include "PagesHarness.h"

#include "PageTestSupport.h"

#include <gtest/gtest.h>

namespace MW::Test {

PagesHarness::PagesHarness()
    : overview(new COverviewDlg), settings(new CSettingsDlg), contact(new CContactUsDlg),
      view(CPagesView::SPages{&tabs, overview, settings, contact},
           [this](qint32, const QString&) { ++announced; }, nullptr),
      session(view) {
    // No system proxy unless a test sets one: reading it must not depend on the machine.
    setSystemProxy(QString());
    tabs.addTab(overview, QStringLiteral("  Overview  "));
    tabs.addTab(settings, QStringLiteral("  Settings  "));
    tabs.addTab(contact, QStringLiteral(" Contact Us "));
    QObject::connect(settings, &CSettingsDlg::settingsChanged, [this] { save(); });
    QObject::connect(overview, &COverviewDlg::reconnectRequested, [this] { ++reconnects; });
}

void PagesHarness::load() {
    session.LoadSettings(true);
    ASSERT_TRUE(session.isLoaded());
    overview->setEngine(&link());
}

void PagesHarness::save() {
    ++saves;
    session.SaveSettings(true);
}

void PagesHarness::followEvents() {
    session.observer().setOwner(&session);
    ASSERT_TRUE(session.observer().AdviseEngine(&link()).isEmpty());
}

} // namespace MW::Test
