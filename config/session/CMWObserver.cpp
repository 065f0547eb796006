#include "CMWObserver.h"

#include "CServiceLink.h"
#include "CServiceSession.h"

namespace MW {

const QString CMWObserver::kServiceUnavailable = QStringLiteral("Service is unavailable.");
const QString CMWObserver::kAdviseFailed = QStringLiteral("Failed to advise MWObserver.");

CMWObserver::CMWObserver(QObject* parent) : QObject(parent) {}

CMWObserver::~CMWObserver() {
    UnadviseEngine();
}

QString CMWObserver::AdviseEngine(CServiceLink* engine) {
    if (!engine)
        return kServiceUnavailable;
    if (engine != m_engine) {
        if (m_engine)
            disconnect(m_engine, nullptr, this, nullptr);
        m_engine = engine;
        connect(engine, &CServiceLink::scanStarted, this, &CMWObserver::scanStarted);
        connect(engine, &CServiceLink::scanFinished, this, &CMWObserver::scanFinished);
        connect(engine, &CServiceLink::updateCleanedSpace, this, &CMWObserver::updateCleanedSpace);
        connect(engine, &CServiceLink::test, this, &CMWObserver::test);
    }
    return engine->adviseEngine() ? QString() : kAdviseFailed;
}

void CMWObserver::UnadviseEngine() {
    if (m_engine)
        m_engine->unadviseEngine();
}

bool CMWObserver::isAdvised() const {
    return m_engine && m_engine->isAdvised();
}

void CMWObserver::scanStarted() {
    if (m_owner)
        m_owner->OnScanStarted();
}

void CMWObserver::scanFinished() {
    if (m_owner)
        m_owner->OnScanFinished();
}

void CMWObserver::updateCleanedSpace(quint64 total) {
    if (m_owner)
        m_owner->OnUpdateCleanedSpace(total);
}

void CMWObserver::test() {
    if (m_owner)
        m_owner->OnTest();
}

} // namespace MW
