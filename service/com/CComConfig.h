#pragma once
// MW::COM::CConfig: the Config object as COM serves it, a dual IConfig over the
// portable Objects::CConfig, which reads and writes the settings record. Reads
// are open to every caller; writes only to those CCallerCheck admits. Each
// object holds a lock on the module while it lives.

#include "CConfig.h"
#include "TypeLib.h"

#include <mwservice.h>

#include <atomic>

namespace MW::COM {

class CConfig final : public TDualInterface<::IConfig> {
public:
    // A new object with one reference, queried for `iid`.
    static HRESULT create(REFIID iid, void** object);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: TDualInterface
    // IConfig, in the contract's order
    HRESULT STDMETHODCALLTYPE get_ScanFolder(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ScanFolder(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_FileTypes(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_FileTypes(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_OtherFileTypes(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_OtherFileTypes(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_StartTime(VARIANT* pVal) override;
    HRESULT STDMETHODCALLTYPE put_StartTime(VARIANT newVal) override;
    HRESULT STDMETHODCALLTYPE get_DeleteAge(::EDeleteAge* pVal) override;
    HRESULT STDMETHODCALLTYPE put_DeleteAge(::EDeleteAge newVal) override;
    HRESULT STDMETHODCALLTYPE get_LastScan(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_LastScan(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_CleanedSpace(ULONGLONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_CleanedSpace(ULONGLONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_ContactName(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ContactName(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_ContactEmail(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ContactEmail(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxyServer(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxyServer(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxyPort(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxyPort(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxyUsage(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxyUsage(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxySysUsage(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxySysUsage(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxySysServer(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxySysServer(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxySysBypass(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxySysBypass(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_ProxySysAccessType(ULONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ProxySysAccessType(ULONG newVal) override;

private:
    CConfig();
    ~CConfig();
    CConfig(const CConfig&) = delete;
    CConfig& operator=(const CConfig&) = delete;

    std::atomic<ULONG> m_nRef{1};
    Objects::CConfig m_config;
};

} // namespace MW::COM
