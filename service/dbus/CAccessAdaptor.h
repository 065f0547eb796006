#pragma once
// org.morrowick.Access on the engine object: tells a caller whether the service
// would take its changes, through the same check that guards them.

#include "AccessAdaptor.h"
#include "CCallerAuth.h"

namespace MW::DBus {

class CAccessAdaptor final : public sdbus::AdaptorInterfaces<org::morrowick::Access_adaptor> {
public:
    CAccessAdaptor(sdbus::IConnection& connection, CCallerAuth& auth);
    ~CAccessAdaptor();

private:
    bool mayChange() override;
    std::string Group() override;

    CCallerAuth& m_auth;
};

} // namespace MW::DBus
