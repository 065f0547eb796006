#pragma once
// MW::COM::CMorrowick: the engine object as COM serves it, a dual IMorrowick and
// a connection-point container over the process's one Objects::CMorrowick. Its
// one connection point (CProxy_IMorrowickEvents) keeps the clients' sinks in
// the engine's own connection list, so cookies, slots and the order of firing
// are the engine's. Reads are open to every caller; fireEvent and scanNow only
// to those CCallerCheck admits.
//
// The class factory keeps one reference; every reference beyond it is a
// client's, and the first of those locks the module (the last unlocks it).

#include "CMorrowick.h"
#include "TypeLib.h"

#include <mwservice.h>
#include <ocidl.h>

#include <atomic>
#include <memory>

namespace MW::COM {

class CMorrowick final : public TDualInterface<::IMorrowick>, public IConnectionPointContainer {
public:
    // The object over `engine`, with the one reference its holder keeps.
    static HRESULT create(std::shared_ptr<Objects::CMorrowick> engine, CMorrowick** object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: TDualInterface
    // IMorrowick
    HRESULT STDMETHODCALLTYPE get_Config(IDispatch** pVal) override;
    HRESULT STDMETHODCALLTYPE fireEvent(::EFireEvent event) override;
    HRESULT STDMETHODCALLTYPE scanNow() override;
    HRESULT STDMETHODCALLTYPE get_UndeletedLog(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_UndeletedCount(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ActivityState(::EActivityState* pVal) override;
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

private:
    // The connection point for IMorrowickEvents; its references are the engine
    // object's.
    class CProxy_IMorrowickEvents final : public IConnectionPoint {
    public:
        explicit CProxy_IMorrowickEvents(CMorrowick& owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
        HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(
            IConnectionPointContainer** container) override;
        HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

    private:
        CMorrowick& m_owner;
    };

    explicit CMorrowick(std::shared_ptr<Objects::CMorrowick> engine);
    ~CMorrowick() = default;
    CMorrowick(const CMorrowick&) = delete;
    CMorrowick& operator=(const CMorrowick&) = delete;

    std::atomic<ULONG> m_nRef{1};
    std::shared_ptr<Objects::CMorrowick> m_pEngine;
    CProxy_IMorrowickEvents m_connectionPoint;
};

} // namespace MW::COM
