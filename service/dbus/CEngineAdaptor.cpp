#include "CEngineAdaptor.h"

#include "BusErrors.h"
#include "CMorrowick.h"
#include "Contract.h"

namespace MW::DBus {

CEngineAdaptor::CEngineAdaptor(sdbus::IConnection& connection, Objects::CMorrowick& engine,
                               CCallerAuth& auth)
    : AdaptorInterfaces(connection, Bus::kEnginePath), m_engine(engine), m_auth(auth) {
    registerAdaptor();
}

CEngineAdaptor::~CEngineAdaptor() {
    unregisterAdaptor();
}

void CEngineAdaptor::emit(const CEventRelay::Event& event) {
    switch (event.kind) {
    case eFE_ScanStarted:
        emitScanStarted();
        break;
    case eFE_ScanFinished:
        emitScanFinished();
        break;
    case eFE_UpdateCleanedSpace:
        emitUpdateCleanedSpace(event.cleanedSpace);
        break;
    case eFE_Test:
        emitTest();
        break;
    default:
        break;
    }
}

void CEngineAdaptor::fireEvent(const int32_t& event) {
    guarded([&] {
        m_auth.requireWriter(getObject().getCurrentlyProcessedMessage());
        // Any 32-bit value is a valid EFireEvent; those without an event do nothing.
        m_engine.fireEvent(static_cast<EFireEvent>(event));
    });
}

void CEngineAdaptor::scanNow() {
    guarded([&] {
        m_auth.requireWriter(getObject().getCurrentlyProcessedMessage());
        m_engine.scanNow();
    });
}

sdbus::ObjectPath CEngineAdaptor::Config() {
    return sdbus::ObjectPath(Bus::kConfigPath);
}

std::string CEngineAdaptor::UndeletedLog() {
    return guarded([&] { return m_engine.getUndeletedLog(); });
}

int32_t CEngineAdaptor::UndeletedCount() {
    return guarded([&] { return m_engine.getUndeletedCount(); });
}

int32_t CEngineAdaptor::ActivityState() {
    return guarded([&] { return m_engine.getActivityState(); });
}

} // namespace MW::DBus
