#include "CSession.h"

#include "Contract.h"

namespace MW::Client {

const char* const CSession::kConnectFailed = "Failed to connect to service. Terminating the program.";
const char* const CSession::kUnavailablePrefix = "Service is unavailable. ";
// "reconnetct" is the text the users know: kept as it is on purpose.
const char* const CSession::kUnavailableSuffix = " Click Ok to try to reconnetct.";
const char* const CSession::kErrorCaption = "Error!";
const char* const CSession::kTestText = "CMWObserver::test()";
const char* const CSession::kTestCaption = "Info";

namespace {

using EOwner = ISessionView::EOwner;
using EIcon = ISessionView::EIcon;

bool isProxySetting(EProperty property) {
    return property == EProperty::ProxyUsage || property == EProperty::ProxyServer ||
           property == EProperty::ProxyPort;
}

// Sets a flag for as long as it lives.
class CScopedFlag {
public:
    explicit CScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~CScopedFlag() { m_flag = false; }
    CScopedFlag(const CScopedFlag&) = delete;
    CScopedFlag& operator=(const CScopedFlag&) = delete;

private:
    bool& m_flag;
};

} // namespace

CSession::CSession(IServiceLink& link, ISessionView& view, SystemProxyReader readSystemProxy,
                   int unreachableStatus)
    : m_link(link), m_view(view), m_readSystemProxy(std::move(readSystemProxy)),
      m_nUnreachableStatus(unreachableStatus) {}

CSession::~CSession() = default;

bool CSession::ConnectService(bool showErrors) {
    if (m_bEnding)
        return false;
    ++m_nConnecting;
    m_view.SetConnected(false);
    if (!m_link.createEngine()) {
        m_strLastError = kConnectFailed;
        if (showErrors)
            m_view.ShowMessage(EOwner::MainWindow, EIcon::Error, kConnectFailed, kErrorCaption);
        --m_nConnecting;
        // At the end of the program the caller decides how it ends.
        if (!m_bAtEnd) {
            m_bEnding = true;
            m_view.EndProgram(m_nUnreachableStatus);
        }
        return false;
    }
    // Subscribed before anything is read: an event sent while the values load
    // (a scan ending after its busy state was read) is then heard, not lost
    // between the reading and the subscription.
    m_link.UnadviseEngine();
    const std::string adviseFailure = m_link.AdviseEngine();
    if (!adviseFailure.empty())
        m_view.ShowMessage(EOwner::None, EIcon::Error, adviseFailure, kErrorCaption);
    queryAccess(showErrors);
    LoadSettings(showErrors);
    if (m_link.hasEngine())
        m_view.SetConnected(true);
    --m_nConnecting;
    return !m_bEnding;
}

std::unique_ptr<IConfigObject> CSession::AcquireConfig(bool showErrors) {
    if (m_bEnding)
        return nullptr;
    if (!m_link.hasEngine() && !ConnectService(showErrors))
        return nullptr;
    try {
        return m_link.Config();
    } catch (const std::exception& error) {
        reportCallFailure(error.what(), showErrors);
        return nullptr;
    }
}

void CSession::reportCallFailure(const std::string& text, bool showErrors) {
    m_strLastError = text;
    if (showErrors)
        m_view.ShowMessage(EOwner::MainWindow, EIcon::Error,
                           kUnavailablePrefix + text + kUnavailableSuffix, kErrorCaption);
    // One new connection per failure; a failure while connecting is left to the
    // connection under way, which would otherwise start over without end.
    if (m_nConnecting == 0)
        ConnectService(showErrors);
}

void CSession::queryAccess(bool showErrors) {
    try {
        const SAccess access = m_link.Access();
        m_bReadOnly = !access.mayChange;
        m_view.SetReadOnly(m_bReadOnly, access.group);
    } catch (const std::exception& error) {
        // Treated as a service that does not tell: it decides at each write.
        m_bReadOnly = false;
        m_view.SetReadOnly(false, std::string());
        reportCallFailure(error.what(), showErrors);
    }
}

void CSession::LoadSettings(bool showErrors) {
    if (m_bEnding || m_bLoading)
        return;
    const CScopedFlag loading(m_bLoading);
    auto config = AcquireConfig(showErrors);
    if (!config)
        config = AcquireConfig(showErrors);
    if (!config)
        return;
    try {
        // Nothing reaches the pages before every value has been read.
        const SLoaded loaded =
            Client::LoadSettings(*config, m_view.ShownSettings(), m_readSystemProxy, m_bReadOnly);
        m_loaded = loaded.settings;
        // A save that had to reconnect keeps the user's edits over the new values.
        const SSettingsValues shown =
            m_keep ? KeepEdits(m_keep->first, m_keep->second, m_loaded) : m_loaded;
        m_view.ShowSettings(shown);
        m_view.SetContactProxy(ContactProxy(shown.proxy));
        m_view.SetCleanedSpace(loaded.overview.cleanedSpace);
        m_view.SetLastScan(loaded.overview.lastScan);
        m_bLoaded = true;
        m_view.SetLoaded(true);
        if (loaded.systemProxyError && showErrors)
            m_view.ShowMessage(EOwner::SettingsPage, EIcon::Error, *loaded.systemProxyError,
                               kErrorCaption);
        m_view.SetScanRunning(m_link.ActivityState() == eAS_Busy);
    } catch (const std::exception& error) {
        reportCallFailure(error.what(), showErrors);
        return;
    }
    m_view.SettingsLoaded();
}

bool CSession::SaveSettings(bool showErrors) {
    // The service would refuse every write: none is attempted.
    if (m_bReadOnly)
        return true;
    if (m_bEnding || m_bLoading)
        return false;
    if (!m_bLoaded) {
        // The pages hold no value of the service's, so there is nothing of the
        // user's to write, and writing their defaults would overwrite its
        // settings. A load instead gives them the service's values.
        if (!m_bAtEnd)
            LoadSettings(showErrors);
        return true;
    }
    return writeChanges(showErrors);
}

bool CSession::SaveSettingsAtEnd(bool showErrors) {
    const CScopedFlag atEnd(m_bAtEnd);
    m_strLastError.clear();
    const bool written = SaveSettings(showErrors);
    if (!written && m_strLastError.empty())
        m_strLastError = m_bLoading ? "The settings were being loaded." : "The program was ending.";
    return written;
}

bool CSession::writeChanges(bool showErrors) {
    const SSettingsValues shown = m_view.SettingsToSave();
    m_view.SetContactProxy(ContactProxy(shown.proxy));
    // Taken before anything can reload the pages: a reconnection puts these
    // edits back over the values it loads, and the next attempt writes them.
    m_keep.emplace(shown, m_loaded);
    bool written = false;
    for (int attempt = 0; attempt < 2 && !written && !m_bEnding; ++attempt) {
        const auto config = AcquireConfig(showErrors);
        if (!config)
            continue;
        const SSettingsValues now = KeepEdits(m_keep->first, m_keep->second, m_loaded);
        try {
            SaveChangedSettings(*config, now, m_loaded);
            written = true;
        } catch (const std::exception& error) {
            reportCallFailure(error.what(), showErrors);
        }
    }
    m_keep.reset();
    return written;
}

void CSession::OnScanStarted() {
    m_view.SetScanRunning(true);
    SaveSettings(true);
}

void CSession::OnScanFinished() {
    m_view.SetScanRunning(false);
    const auto config = AcquireConfig(true);
    if (!config)
        return;
    try {
        SOverviewValues overview;
        Assign(overview, EProperty::LastScan, config->get(EProperty::LastScan));
        m_view.SetLastScan(overview.lastScan);
        const std::int32_t count = m_link.UndeletedCount();
        if (count > 0)
            m_view.AnnounceUndeleted(count, m_link.UndeletedLog());
    } catch (const std::exception& error) {
        reportCallFailure(error.what(), true);
    }
}

void CSession::OnUpdateCleanedSpace(std::uint64_t total) {
    m_view.SetCleanedSpace(total);
}

void CSession::OnTest() {
    m_view.ShowMessage(EOwner::None, EIcon::None, kTestText, kTestCaption);
}

void CSession::OnConfigChanged(EProperty property, const PropertyValue& value) {
    if (property == EProperty::LastScan || property == EProperty::CleanedSpace) {
        SOverviewValues overview;
        if (!Assign(overview, property, value))
            return;
        if (property == EProperty::LastScan)
            m_view.SetLastScan(overview.lastScan);
        else
            m_view.SetCleanedSpace(overview.cleanedSpace);
        return;
    }
    // Before the first load the pages have nothing to follow; during one, the
    // load reads the value itself.
    if (!m_bLoaded || m_bLoading)
        return;
    SSettingsValues shown = m_view.ShownSettings();
    if (!FollowChange(property, value, m_loaded, shown))
        return;
    m_view.ShowSetting(property, shown);
    if (isProxySetting(property))
        m_view.SetContactProxy(ContactProxy(shown.proxy));
}

void CSession::OnConfigInvalidated(EProperty property) {
    if (m_bEnding || !m_link.hasEngine())
        return;
    PropertyValue value;
    try {
        value = m_link.Config()->get(property);
    } catch (const std::exception&) {
        return;
    }
    OnConfigChanged(property, value);
}

} // namespace MW::Client
