#include "CAccessAdaptor.h"

#include "BusErrors.h"
#include "Contract.h"

namespace MW::DBus {

CAccessAdaptor::CAccessAdaptor(sdbus::IConnection& connection, CCallerAuth& auth)
    : AdaptorInterfaces(connection, Bus::kEnginePath), m_auth(auth) {
    registerAdaptor();
}

CAccessAdaptor::~CAccessAdaptor() {
    unregisterAdaptor();
}

bool CAccessAdaptor::mayChange() {
    return guarded([&] { return m_auth.mayChange(getObject().getCurrentlyProcessedMessage()); });
}

std::string CAccessAdaptor::Group() {
    return m_auth.group();
}

} // namespace MW::DBus
