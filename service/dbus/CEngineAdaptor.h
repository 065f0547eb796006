#pragma once
// The engine object on the bus: IMorrowick, and IMorrowickEvents whose signals
// the bus server emits for the events it relays.

#include "CCallerAuth.h"
#include "CEventRelay.h"
#include "MorrowickAdaptors.h"

namespace MW::Objects {
class CMorrowick;
}

namespace MW::DBus {

class CEngineAdaptor final
    : public sdbus::AdaptorInterfaces<org::morrowick::IMorrowick_adaptor,
                                      org::morrowick::IMorrowickEvents_adaptor> {
public:
    CEngineAdaptor(sdbus::IConnection& connection, Objects::CMorrowick& engine, CCallerAuth& auth);
    ~CEngineAdaptor();

    void emit(const CEventRelay::Event& event);

private:
    void fireEvent(const int32_t& event) override;
    void scanNow() override;
    sdbus::ObjectPath Config() override;
    std::string UndeletedLog() override;
    int32_t UndeletedCount() override;
    int32_t ActivityState() override;

    Objects::CMorrowick& m_engine;
    CCallerAuth& m_auth;
};

} // namespace MW::DBus
