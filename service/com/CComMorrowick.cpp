#include "CComMorrowick.h"

#include "CCallerCheck.h"
#include "CComConfig.h"
#include "CDispatchSink.h"
#include "ComSupport.h"
#include "Enumerators.h"

#include <new>
#include <olectl.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace MW::COM {

HRESULT CMorrowick::create(std::shared_ptr<Objects::CMorrowick> engine, CMorrowick** object) {
    if (!object)
        return E_POINTER;
    *object = engine ? new (std::nothrow) CMorrowick(std::move(engine)) : nullptr;
    return *object ? S_OK : E_OUTOFMEMORY;
}

CMorrowick::CMorrowick(std::shared_ptr<Objects::CMorrowick> engine)
    : TDualInterface(::IID_IMorrowick), m_pEngine(std::move(engine)), m_connectionPoint(*this) {}

HRESULT CMorrowick::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == ::IID_IMorrowick || iid == IID_IDispatch) {
        *object = static_cast<::IMorrowick*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
        *object = static_cast<IConnectionPointContainer*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CMorrowick::AddRef() {
    const ULONG count = ++m_nRef;
    if (count == 2)
        lockModule();
    return count;
}

ULONG CMorrowick::Release() {
    const ULONG count = --m_nRef;
    if (count == 1)
        unlockModule();
    else if (count == 0)
        delete this;
    return count;
}

HRESULT CMorrowick::get_Config(IDispatch** pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = nullptr;
    // A new object on every call; all of them are windows onto one record.
    HRESULT hr = S_OK;
    const HRESULT called =
        guarded([&] { hr = CConfig::create(IID_IDispatch, reinterpret_cast<void**>(pVal)); });
    return FAILED(called) ? called : hr;
}

HRESULT CMorrowick::fireEvent(::EFireEvent event) {
    return guarded([&] {
        CCallerCheck::requireWriter();
        // Values without an event do nothing; what the sinks answer is not ours
        // to report.
        m_pEngine->fireEvent(static_cast<MW::EFireEvent>(event));
    });
}

HRESULT CMorrowick::scanNow() {
    return guarded([&] {
        CCallerCheck::requireWriter();
        m_pEngine->scanNow();
    });
}

HRESULT CMorrowick::get_UndeletedLog(BSTR* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = nullptr;
    HRESULT hr = S_OK;
    const HRESULT called = guarded([&] { hr = toBstr(m_pEngine->getUndeletedLog(), pVal); });
    return FAILED(called) ? called : hr;
}

HRESULT CMorrowick::get_UndeletedCount(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    return guarded([&] { *pVal = m_pEngine->getUndeletedCount(); });
}

HRESULT CMorrowick::get_ActivityState(::EActivityState* pVal) {
    if (!pVal)
        return E_POINTER;
    return guarded([&] { *pVal = static_cast<::EActivityState>(m_pEngine->getActivityState()); });
}

HRESULT CMorrowick::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points)
        return E_POINTER;
    *points = nullptr;
    return CEnumConnectionPoints::create({&m_connectionPoint}, points);
}

HRESULT CMorrowick::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (iid != ::DIID_IMorrowickEvents)
        return CONNECT_E_NOCONNECTION;
    *point = &m_connectionPoint;
    m_connectionPoint.AddRef();
    return S_OK;
}

HRESULT CMorrowick::CProxy_IMorrowickEvents::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CMorrowick::CProxy_IMorrowickEvents::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = ::DIID_IMorrowickEvents;
    return S_OK;
}

HRESULT CMorrowick::CProxy_IMorrowickEvents::GetConnectionPointContainer(
    IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(&m_owner);
    m_owner.AddRef();
    return S_OK;
}

HRESULT CMorrowick::CProxy_IMorrowickEvents::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    // Exactly the event interface's IID: a sink that answers only IDispatch does
    // not receive these events.
    ComPtr<IDispatch> events;
    HRESULT hr = sink->QueryInterface(::DIID_IMorrowickEvents,
                                      reinterpret_cast<void**>(events.GetAddressOf()));
    if (hr == E_NOINTERFACE)
        return CONNECT_E_CANNOTCONNECT;
    if (FAILED(hr))
        return hr;
    if (!events)
        return CONNECT_E_CANNOTCONNECT;
    return guarded([&] {
        *cookie = m_owner.m_pEngine->advise(std::make_shared<CDispatchSink>(std::move(events)));
    });
}

HRESULT CMorrowick::CProxy_IMorrowickEvents::Unadvise(DWORD cookie) {
    // The sink is released outside the engine's lock, by the engine.
    return guarded([&] { m_owner.m_pEngine->unadvise(cookie); });
}

HRESULT CMorrowick::CProxy_IMorrowickEvents::EnumConnections(IEnumConnections** connections) {
    if (!connections)
        return E_POINTER;
    *connections = nullptr;
    std::vector<CONNECTDATA> items;
    const auto live = m_owner.m_pEngine->connectionPoint().connections();
    for (const auto& [sink, cookie] : live) {
        // Every sink in the list came through Advise above.
        if (const auto* client = dynamic_cast<const CDispatchSink*>(sink.get()))
            items.push_back({client->dispatch(), cookie});
    }
    // The enumerator takes its own references before `live` lets go of the sinks.
    return CEnumConnections::create(std::move(items), connections);
}

} // namespace MW::COM
