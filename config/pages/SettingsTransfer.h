#pragma once

namespace MW {

class CConfigRef;
class CContactUsDlg;
class COverviewDlg;
class CServiceLink;
class CSettingsDlg;

// Moves every setting between the pages and the service's Config object: the
// content of the main window's LoadSettings and SaveSettings, in the order the
// service expects. The first failing call throws CCallError; the properties after
// it are then neither read nor written.
class SettingsTransfer {
public:
    SettingsTransfer(COverviewDlg& overview, CSettingsDlg& settings, CContactUsDlg& contact);

    // Service to pages: the settings, the overview values, the contact values,
    // then the engine's activity state for the picker and the scan buttons. A
    // failed reading of the system proxy is reported (when showErrors) and the
    // rest is loaded.
    void load(CConfigRef& config, CServiceLink& engine, bool showErrors = true);
    // Pages to service.
    void save(CConfigRef& config);
    // Read-only: load() leaves the service's copy of the system proxy alone.
    void setReadOnly(bool readOnly) { m_bReadOnly = readOnly; }

private:
    void copyProxyToContact();

    COverviewDlg& m_overview;
    CSettingsDlg& m_settings;
    CContactUsDlg& m_contact;
    bool m_bReadOnly = false;
};

} // namespace MW
