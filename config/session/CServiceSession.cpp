#include "CServiceSession.h"

#include "QtValues.h"
#include "SystemProxyReader.h"

namespace MW {

CServiceSession::CServiceSession(ISessionView& view, QObject* parent)
    : QObject(parent), m_sessionView(view, m_link, [this] { emit settingsLoaded(); }),
      m_session(
          m_sessionLink, m_sessionView,
          [](const Client::SSystemProxy& before) { return ReadSystemProxy(before); },
          eES_ServiceUnreachable) {
    m_observer.setParent(this);
    connect(&m_link, &CServiceLink::configChanged, this, &CServiceSession::onConfigChanged);
    connect(&m_link, &CServiceLink::configInvalidated, this,
            &CServiceSession::onConfigInvalidated);
}

CServiceSession::~CServiceSession() {
    m_observer.UnadviseEngine();
}

bool CServiceSession::SaveSettingsWithin(int budgetMs, bool showErrors) {
    m_link.setDeadline(QDeadlineTimer(budgetMs));
    const bool written = m_session.SaveSettingsAtEnd(showErrors);
    m_link.setDeadline(QDeadlineTimer(QDeadlineTimer::Forever));
    return written;
}

QString CServiceSession::lastError() const {
    return Link::toQString(m_session.lastError());
}

void CServiceSession::onConfigChanged(const QString& name, const QVariant& value) {
    const auto property = Client::FindProperty(Link::toUtf8(name));
    if (!property)
        return;
    Client::PropertyValue announced;
    try {
        announced = Link::fromBusValue(*property, value);
    } catch (const CCallError&) {
        // A value of another type than the contract's: not one to show.
        return;
    }
    m_session.OnConfigChanged(*property, announced);
}

void CServiceSession::onConfigInvalidated(const QString& name) {
    if (const auto property = Client::FindProperty(Link::toUtf8(name)))
        m_session.OnConfigInvalidated(*property);
}

} // namespace MW
