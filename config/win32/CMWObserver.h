#pragma once
// The configurator's event sink: IMorrowickEvents by hand on IDispatch, advised on
// the engine's connection point. Its storage belongs to its owner (the link), so
// Release never frees it.

#include <mwservice.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace MW::Win {

// Who hears the events: the main window's reactions.
class IEventOwner {
public:
    virtual ~IEventOwner() = default;
    virtual void OnScanStarted() = 0;
    virtual void OnScanFinished() = 0;
    virtual void OnUpdateCleanedSpace(std::uint64_t total) = 0;
    virtual void OnTest() = 0;
};

class CMWObserver final : public IDispatch {
public:
    CMWObserver() = default;
    virtual ~CMWObserver();
    CMWObserver(const CMWObserver&) = delete;
    CMWObserver& operator=(const CMWObserver&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRef; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nRef; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    HRESULT scanStarted();
    HRESULT scanFinished();
    HRESULT updateCleanedSpace(std::uint64_t total);
    HRESULT test();

    // Connects to the engine's event point; the message to show on failure,
    // else empty.
    std::wstring AdviseEngine(IMorrowick* engine);
    void UnadviseEngine();
    bool isAdvised() const { return m_dwCookie != 0; }

    // Events before the owner is set are answered and ignored.
    void setOwner(IEventOwner* owner) { m_pOwner = owner; }

    static const wchar_t* const kServiceUnavailable;
    static const wchar_t* const kAdviseFailed;

private:
    ULONG m_nRef = 0;
    IConnectionPoint* m_pPoint = nullptr;
    DWORD m_dwCookie = 0;
    IEventOwner* m_pOwner = nullptr;
};

} // namespace MW::Win
