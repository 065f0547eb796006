#include "CMWObserver.h"

#include "ComError.h"

namespace MW::Win {

const wchar_t* const CMWObserver::kServiceUnavailable = L"Service is unavailable.";
const wchar_t* const CMWObserver::kAdviseFailed = L"Failed to advise MWObserver.";

CMWObserver::~CMWObserver() {
    UnadviseEngine();
    if (m_pPoint)
        m_pPoint->Release();
}

HRESULT CMWObserver::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    // IDispatch is answered too: a stub for the event interface in another
    // process may reach the sink through it (Wine's does).
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ::DIID_IMorrowickEvents) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CMWObserver::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                            EXCEPINFO*, UINT*) {
    if (!params)
        return E_NOTIMPL;
    switch (id) {
    case 1:
        return scanStarted();
    case 2:
        return scanFinished();
    case 3: {
        // The service sends one VT_UI8; anything else is not its total.
        if (params->cArgs < 1 || params->rgvarg[0].vt != VT_UI8)
            return DISP_E_BADVARTYPE;
        return updateCleanedSpace(params->rgvarg[0].ullVal);
    }
    case 4:
        return test();
    default:
        return E_NOTIMPL;
    }
}

HRESULT CMWObserver::scanStarted() {
    if (m_pOwner)
        m_pOwner->OnScanStarted();
    return S_OK;
}

HRESULT CMWObserver::scanFinished() {
    if (m_pOwner)
        m_pOwner->OnScanFinished();
    return S_OK;
}

HRESULT CMWObserver::updateCleanedSpace(std::uint64_t total) {
    if (m_pOwner)
        m_pOwner->OnUpdateCleanedSpace(total);
    return S_OK;
}

HRESULT CMWObserver::test() {
    if (m_pOwner)
        m_pOwner->OnTest();
    return S_OK;
}

std::wstring CMWObserver::AdviseEngine(IMorrowick* engine) {
    if (!engine)
        return kServiceUnavailable;
    IConnectionPointContainer* container = nullptr;
    if (FAILED(engine->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(&container))) ||
        !container)
        return L"Failed to query connection point container.";
    IConnectionPoint* point = nullptr;
    const HRESULT found = container->FindConnectionPoint(::DIID_IMorrowickEvents, &point);
    container->Release();
    if (FAILED(found) || !point)
        return L"Failed to find the connection point.";
    if (m_pPoint)
        m_pPoint->Release();
    m_pPoint = point;
    IUnknown* self = nullptr;
    if (FAILED(QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self))))
        return L"Failed to query the connection point.";
    DWORD cookie = 0;
    const HRESULT advised = m_pPoint->Advise(self, &cookie);
    self->Release();
    if (FAILED(advised))
        return std::wstring(kAdviseFailed) + ErrorText(advised);
    m_dwCookie = cookie;
    return {};
}

void CMWObserver::UnadviseEngine() {
    if (m_pPoint && m_dwCookie != 0)
        m_pPoint->Unadvise(m_dwCookie);
    m_dwCookie = 0;
}

} // namespace MW::Win
