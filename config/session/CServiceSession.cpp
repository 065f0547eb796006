#include "CServiceSession.h"

#include "Access.h"
#include "Contract.h"
#include "QtValues.h"
#include "SystemProxyReader.h"

namespace MW {

const QString CServiceSession::kConnectFailed =
    QStringLiteral("Failed to connect to service. Terminating the program.");
const QString CServiceSession::kUnavailablePrefix = QStringLiteral("Service is unavailable. ");
// "reconnetct" is the text the users know: kept as it is on purpose.
const QString CServiceSession::kUnavailableSuffix =
    QStringLiteral(" Click Ok to try to reconnetct.");

namespace {

const QString kErrorCaption = QStringLiteral("Error!");
using EOwner = ISessionView::EOwner;
using EIcon = ISessionView::EIcon;
using Client::EProperty;

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

CServiceSession::CServiceSession(ISessionView& view, QObject* parent)
    : QObject(parent), m_view(view) {
    m_observer.setParent(this);
    connect(&m_link, &CServiceLink::configChanged, this, &CServiceSession::onConfigChanged);
    connect(&m_link, &CServiceLink::configInvalidated, this,
            &CServiceSession::onConfigInvalidated);
}

CServiceSession::~CServiceSession() {
    m_observer.UnadviseEngine();
}

bool CServiceSession::ConnectService(bool showErrors) {
    if (m_bEnding)
        return false;
    ++m_nConnecting;
    m_view.SetEngine(nullptr);
    // Activation answers once the service has loaded its settings: there is
    // nothing to wait for before the first call.
    if (!m_link.createEngine()) {
        m_strLastError = kConnectFailed;
        if (showErrors)
            m_view.ShowMessage(EOwner::MainWindow, EIcon::Error, kConnectFailed, kErrorCaption);
        --m_nConnecting;
        // At the end of the program the caller decides how it ends.
        if (!m_bBounded) {
            m_bEnding = true;
            m_view.EndProgram(eES_ServiceUnreachable);
        }
        return false;
    }
    // Subscribed before anything is read: an event sent while the values load
    // (a scan ending after its busy state was read) is then heard, not lost
    // between the reading and the subscription.
    m_observer.UnadviseEngine();
    const QString adviseFailure = m_observer.AdviseEngine(&m_link);
    if (!adviseFailure.isEmpty())
        m_view.ShowMessage(EOwner::None, EIcon::Error, adviseFailure, kErrorCaption);
    queryAccess(showErrors);
    LoadSettings(showErrors);
    m_view.SetEngine(&m_link);
    --m_nConnecting;
    return !m_bEnding;
}

std::unique_ptr<CConfigRef> CServiceSession::AcquireConfig(bool showErrors) {
    if (m_bEnding)
        return nullptr;
    if (!m_link.hasEngine() && !ConnectService(showErrors))
        return nullptr;
    try {
        return m_link.Config();
    } catch (const CCallError& error) {
        reportCallFailure(error.text(), showErrors);
        return nullptr;
    }
}

void CServiceSession::reportCallFailure(const QString& text, bool showErrors) {
    m_strLastError = text;
    if (showErrors)
        m_view.ShowMessage(EOwner::MainWindow, EIcon::Error,
                           kUnavailablePrefix + text + kUnavailableSuffix, kErrorCaption);
    // One new connection per failure; a failure while connecting is left to the
    // connection under way, which would otherwise start over without end.
    if (m_nConnecting == 0)
        ConnectService(showErrors);
}

void CServiceSession::queryAccess(bool showErrors) {
    try {
        const SServiceAccess access = m_link.Access();
        m_bReadOnly = !access.mayChange;
        m_view.SetReadOnly(m_bReadOnly, access.group.isEmpty()
                                            ? QString::fromLatin1(Bus::kDefaultChangeGroup)
                                            : access.group);
    } catch (const CCallError& error) {
        // Treated as before the question existed: the service decides at each write.
        m_bReadOnly = false;
        m_view.SetReadOnly(false, QString());
        reportCallFailure(error.text(), showErrors);
    }
}

void CServiceSession::LoadSettings(bool showErrors) {
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
        const Client::SLoaded loaded = Client::LoadSettings(
            *config, m_view.ShownSettings(),
            [](const Client::SSystemProxy& before) { return ReadSystemProxy(before); },
            m_bReadOnly);
        m_loaded = loaded.settings;
        // A save that had to reconnect keeps the user's edits over the new values.
        const Client::SSettingsValues shown =
            m_keep ? Client::KeepEdits(m_keep->first, m_keep->second, m_loaded) : m_loaded;
        m_view.ShowSettings(shown);
        m_view.SetContactProxy(Client::ContactProxy(shown.proxy));
        m_view.SetCleanedSpace(loaded.overview.cleanedSpace);
        m_view.SetLastScan(Link::toQString(loaded.overview.lastScan));
        m_bLoaded = true;
        m_view.SetLoaded(true);
        if (loaded.systemProxyError && showErrors)
            m_view.ShowMessage(EOwner::SettingsPage, EIcon::Error,
                               Link::toQString(*loaded.systemProxyError), kErrorCaption);
        m_view.SetScanRunning(m_link.ActivityState() == eAS_Busy);
    } catch (const CCallError& error) {
        reportCallFailure(error.text(), showErrors);
        return;
    } catch (const std::exception& error) {
        reportCallFailure(QString::fromUtf8(error.what()), showErrors);
        return;
    }
    emit settingsLoaded();
}

bool CServiceSession::SaveSettings(bool showErrors) {
    // The service would refuse every write: none is attempted.
    if (m_bReadOnly)
        return true;
    if (m_bEnding || m_bLoading)
        return false;
    if (!m_bLoaded) {
        // The pages hold no value of the service's, so there is nothing of the
        // user's to write, and writing their defaults would overwrite its
        // settings. A load instead gives them the service's values.
        if (!m_bBounded)
            LoadSettings(showErrors);
        return true;
    }
    return writeChanges(showErrors);
}

bool CServiceSession::writeChanges(bool showErrors) {
    const Client::SSettingsValues shown = m_view.SettingsToSave();
    m_view.SetContactProxy(Client::ContactProxy(shown.proxy));
    // Taken before anything can reload the pages: a reconnection puts these
    // edits back over the values it loads, and the next attempt writes them.
    m_keep.emplace(shown, m_loaded);
    bool written = false;
    for (int attempt = 0; attempt < 2 && !written && !m_bEnding; ++attempt) {
        const auto config = AcquireConfig(showErrors);
        if (!config)
            continue;
        const Client::SSettingsValues now = Client::KeepEdits(m_keep->first, m_keep->second, m_loaded);
        try {
            Client::SaveChangedSettings(*config, now, m_loaded);
            written = true;
        } catch (const CCallError& error) {
            reportCallFailure(error.text(), showErrors);
        }
    }
    m_keep.reset();
    return written;
}

bool CServiceSession::SaveSettingsWithin(int budgetMs, bool showErrors) {
    const CScopedFlag bounded(m_bBounded);
    m_link.setDeadline(QDeadlineTimer(budgetMs));
    m_strLastError.clear();
    const bool written = SaveSettings(showErrors);
    m_link.setDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
    if (!written && m_strLastError.isEmpty())
        m_strLastError = m_bLoading ? QStringLiteral("The settings were being loaded.")
                                    : QStringLiteral("The program was ending.");
    return written;
}

void CServiceSession::OnScanStarted() {
    m_view.SetScanRunning(true);
    SaveSettings(true);
}

void CServiceSession::OnScanFinished() {
    m_view.SetScanRunning(false);
    const auto config = AcquireConfig(true);
    if (!config)
        return;
    try {
        m_view.SetLastScan(config->LastScan());
        const qint32 count = m_link.UndeletedCount();
        if (count > 0)
            m_view.AnnounceUndeleted(count, m_link.UndeletedLog());
    } catch (const CCallError& error) {
        reportCallFailure(error.text(), true);
    }
}

void CServiceSession::OnUpdateCleanedSpace(quint64 total) {
    m_view.SetCleanedSpace(total);
}

void CServiceSession::OnTest() {
    m_view.ShowMessage(EOwner::None, EIcon::None, CMWObserver::kTestText,
                       CMWObserver::kTestCaption);
}

void CServiceSession::onConfigChanged(const QString& name, const QVariant& value) {
    const auto property = Client::FindProperty(Link::toUtf8(name));
    if (!property)
        return;
    try {
        follow(*property, Link::fromBusValue(*property, value));
    } catch (const CCallError&) {
        // A value of another type than the contract's: not one to show.
    }
}

void CServiceSession::onConfigInvalidated(const QString& name) {
    const auto property = Client::FindProperty(Link::toUtf8(name));
    if (!property || m_bEnding)
        return;
    try {
        follow(*property, m_link.Config()->get(*property));
    } catch (const CCallError&) {
        // Noticed, and reported, at the next call the user makes.
    }
}

void CServiceSession::follow(EProperty property, const Client::PropertyValue& value) {
    if (property == EProperty::LastScan || property == EProperty::CleanedSpace) {
        Client::SOverviewValues overview;
        Client::Assign(overview, property, value);
        if (property == EProperty::LastScan)
            m_view.SetLastScan(Link::toQString(overview.lastScan));
        else
            m_view.SetCleanedSpace(overview.cleanedSpace);
        return;
    }
    // Before the first load the pages have nothing to follow; during one, the
    // load reads the value itself.
    if (!m_bLoaded || m_bLoading)
        return;
    Client::SSettingsValues shown = m_view.ShownSettings();
    if (!Client::FollowChange(property, value, m_loaded, shown))
        return;
    m_view.ShowSetting(property, shown);
    if (isProxySetting(property))
        m_view.SetContactProxy(Client::ContactProxy(shown.proxy));
}

} // namespace MW
