#include "SettingsTransfer.h"

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CServiceLink.h"
#include "CSettingsDlg.h"
#include "Contract.h"
#include "FileTypes.h"
#include "Messages.h"
#include "SystemProxyReader.h"

namespace MW {

namespace {
// Boolean settings cross the contract as automation booleans.
qint32 asVariantBool(bool value) {
    return value ? -1 : 0;
}
} // namespace

SettingsTransfer::SettingsTransfer(COverviewDlg& overview, CSettingsDlg& settings,
                                   CContactUsDlg& contact)
    : m_overview(overview), m_settings(settings), m_contact(contact) {}

void SettingsTransfer::copyProxyToContact() {
    // The Contact tab's request uses the explicit proxy only.
    const CProxyDlg& proxy = m_settings.proxyDlg();
    if (proxy.m_bUseProxy)
        m_contact.SetProxy(proxy.m_strServer, LeadingInteger(proxy.m_strPort));
    else
        m_contact.SetProxy(QString(), 0);
}

void SettingsTransfer::save(CConfigRef& config) {
    CProxyDlg& proxy = m_settings.proxyDlg();
    config.setScanFolder(m_settings.GetFolder());
    config.setFileTypes(m_settings.BuildFileTypes());
    config.setOtherFileTypes(m_settings.GetOtherFileTypes());
    config.setDeleteAge(m_settings.GetDeleteAge());
    config.setStartTime(m_settings.startTime());
    config.setProxyUsage(asVariantBool(proxy.m_bUseProxy));
    config.setProxyServer(proxy.m_strServer);
    config.setProxyPort(proxy.m_strPort);
    copyProxyToContact();
    config.setProxySysUsage(asVariantBool(proxy.m_bUseSystemProxy));
    config.setProxySysServer(proxy.m_strSysServer);
    config.setProxySysBypass(proxy.m_strSysBypass);
    config.setProxySysAccessType(proxy.m_dwSysAccessType);
    config.setContactName(m_contact.GetName());
    config.setContactEmail(m_contact.GetEmail());
}

void SettingsTransfer::load(CConfigRef& config, CServiceLink& engine, bool showErrors) {
    CProxyDlg& proxy = m_settings.proxyDlg();
    m_settings.SetFolder(config.ScanFolder());
    m_settings.ApplyFileTypes(config.FileTypes());
    m_settings.SetOtherFileTypes(config.OtherFileTypes());
    m_settings.SetDeleteAge(config.DeleteAge());
    m_settings.setStartTime(config.StartTime());
    proxy.m_strServer = config.ProxyServer();
    proxy.m_strPort = config.ProxyPort();
    proxy.m_bUseProxy = config.ProxyUsage() != 0;
    copyProxyToContact();

    const qint32 sysUsage = config.ProxySysUsage();
    if (sysUsage != 0) {
        // The service's copy is not used: the system's settings are read fresh
        // and the service learns them at once.
        bool read = true;
        try {
            proxy.readSystemProxy();
        } catch (const CSystemProxyError& error) {
            read = false;
            if (showErrors)
                Messages::error(&m_settings, error.text());
        }
        if (read && !m_bReadOnly) {
            config.setProxySysServer(proxy.m_strSysServer);
            config.setProxySysBypass(proxy.m_strSysBypass);
            config.setProxySysAccessType(proxy.m_dwSysAccessType);
        }
    }
    proxy.m_bUseSystemProxy = sysUsage != 0;

    m_overview.SetCleanedSpace(FormatMegabytes(config.CleanedSpace()));
    m_overview.SetLastScan(config.LastScan());

    m_contact.SetName(config.ContactName());
    m_contact.SetEmail(config.ContactEmail());

    const bool idle = engine.ActivityState() != eAS_Busy;
    m_settings.EnableStartTime(idle);
    m_overview.EnableScanButtons(idle);
}

} // namespace MW
