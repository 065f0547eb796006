// A second client of the service, in a process of its own:
//   mw_com_client set-contact NAME   writes ContactName
//   mw_com_client fire-test          asks the engine to send "test" to every sink
//   mw_com_client advise-and-die     connects a sink and ends without disconnecting
// The exit code is the HRESULT of the first call that failed, else 0.

#include <cstdio>
#include <mwservice.h>
#include <objbase.h>
#include <string>
#include <windows.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// A sink that answers for the events and ignores them.
class CSink final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IMorrowickEvents) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return S_OK;
    }
};

HRESULT run(const std::wstring& command, const std::wstring& argument) {
    ComPtr<IMorrowick> engine;
    HRESULT hr = ::CoCreateInstance(CLSID_Morrowick, nullptr, CLSCTX_LOCAL_SERVER, IID_IMorrowick,
                                    &engine);
    if (FAILED(hr))
        return hr;
    if (command == L"fire-test")
        return engine->fireEvent(eFE_Test);
    if (command == L"set-contact") {
        ComPtr<IDispatch> dispatch;
        ComPtr<IConfig> config;
        hr = engine->get_Config(&dispatch);
        if (SUCCEEDED(hr))
            hr = dispatch.As(&config);
        BSTR name = ::SysAllocString(argument.c_str());
        if (SUCCEEDED(hr))
            hr = config->put_ContactName(name);
        ::SysFreeString(name);
        return hr;
    }
    if (command == L"advise-and-die") {
        static CSink sink;
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        DWORD cookie = 0;
        hr = engine.As(&container);
        if (SUCCEEDED(hr))
            hr = container->FindConnectionPoint(DIID_IMorrowickEvents, &point);
        if (SUCCEEDED(hr))
            hr = point->Advise(&sink, &cookie);
        if (SUCCEEDED(hr))
            ::TerminateProcess(::GetCurrentProcess(), 0); // no Unadvise, no Release
        return hr;
    }
    return E_INVALIDARG;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    const HRESULT hr = run(argc > 1 ? argv[1] : L"", argc > 2 ? argv[2] : L"");
    ::CoUninitialize();
    return hr;
}
