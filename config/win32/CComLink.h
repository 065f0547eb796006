#pragma once
// The configurator's link to mwservice.exe over COM: the engine object created in
// a local-server context, its Config object for each transfer, the event sink,
// and every call checked (a failure throws CComError).

#include "CMWObserver.h"
#include "CSession.h"

#include <mwservice.h>
#include <windows.h>

namespace MW::Win {

class CComLink final : public Client::IServiceLink {
public:
    CComLink() = default;
    ~CComLink() override;
    CComLink(const CComLink&) = delete;
    CComLink& operator=(const CComLink&) = delete;

    bool createEngine() override;
    bool hasEngine() const override { return m_pEngine != nullptr; }
    std::unique_ptr<Client::IConfigObject> Config() override;
    // COM carries no access question: the service's answer to writing back a
    // value it already holds (E_ACCESSDENIED or not) is the same check that
    // guards every write. The group is the one named at its registration.
    Client::SAccess Access() override;
    std::int32_t ActivityState() override;
    std::int32_t UndeletedCount() override;
    std::string UndeletedLog() override;
    std::string AdviseEngine() override;
    void UnadviseEngine() override { m_observer.UnadviseEngine(); }

    void scanNow();
    // The engine's Config object as IConfig; null when it answers no IConfig.
    IConfig* QueryConfig();
    void releaseEngine();
    // After a failed call of the Overview: the next command finds no engine.
    IMorrowick* engine() const { return m_pEngine; }
    CMWObserver& observer() { return m_observer; }

    // How long a connection waits after creating the engine (the service loads
    // its settings meanwhile); tests set 0.
    static DWORD s_dwConnectWaitMs;

private:
    IMorrowick* m_pEngine = nullptr;
    CMWObserver m_observer;
};

// The Config object of one transfer, property by property.
class CComConfigObject final : public Client::IConfigObject {
public:
    explicit CComConfigObject(IConfig* config) : m_pConfig(config) {}
    ~CComConfigObject() override;
    CComConfigObject(const CComConfigObject&) = delete;
    CComConfigObject& operator=(const CComConfigObject&) = delete;
    Client::PropertyValue get(Client::EProperty property) override;
    void set(Client::EProperty property, const Client::PropertyValue& value) override;

private:
    IConfig* m_pConfig;
};

} // namespace MW::Win
