#include "ClassObjects.h"

#include "CComConfig.h"
#include "CComMorrowick.h"
#include "ComSupport.h"

#include <mutex>
#include <mwservice.h>

namespace MW::COM {
namespace {

// A class object lives as long as the program: its references do not count.
class CFactoryBase : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? lockModule() : unlockModule();
        return S_OK;
    }

protected:
    virtual ~CFactoryBase() = default;
};

class CConfigFactory final : public CFactoryBase {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return CConfig::create(iid, object);
    }
};

class CEngineFactory final : public CFactoryBase {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        CMorrowick* instance = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (!m_pInstance && SUCCEEDED(m_hrCreated)) {
                try {
                    m_hrCreated = CMorrowick::create(Objects::getMorrowick(), &m_pInstance);
                } catch (...) {
                    m_hrCreated = currentHresult();
                }
            }
            // A failed creation is answered again to every later request.
            if (FAILED(m_hrCreated))
                return m_hrCreated;
            instance = m_pInstance;
            instance->AddRef();
        }
        const HRESULT hr = instance->QueryInterface(iid, object);
        instance->Release();
        return hr;
    }

    void releaseInstance() {
        CMorrowick* instance = nullptr;
        {
            std::lock_guard lock(m_mutex);
            instance = m_pInstance;
            m_pInstance = nullptr;
            m_hrCreated = S_OK;
        }
        if (instance)
            instance->Release();
    }

private:
    std::mutex m_mutex;
    CMorrowick* m_pInstance = nullptr; // the factory's own reference
    HRESULT m_hrCreated = S_OK;
};

CConfigFactory g_configFactory;
CEngineFactory g_engineFactory;
DWORD g_nConfigCookie = 0;
DWORD g_nEngineCookie = 0;

} // namespace

IClassFactory* configClassFactory() {
    return &g_configFactory;
}

IClassFactory* engineClassFactory() {
    return &g_engineFactory;
}

HRESULT registerClassObjects() {
    constexpr DWORD kFlags = REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED;
    HRESULT hr = ::CoRegisterClassObject(::CLSID_Config, &g_configFactory, CLSCTX_LOCAL_SERVER,
                                         kFlags, &g_nConfigCookie);
    if (FAILED(hr))
        return hr;
    hr = ::CoRegisterClassObject(::CLSID_Morrowick, &g_engineFactory, CLSCTX_LOCAL_SERVER, kFlags,
                                 &g_nEngineCookie);
    if (FAILED(hr)) {
        ::CoRevokeClassObject(g_nConfigCookie);
        g_nConfigCookie = 0;
    }
    return hr;
}

HRESULT resumeClassObjects() {
    return ::CoResumeClassObjects();
}

HRESULT revokeClassObjects() {
    HRESULT result = S_OK;
    for (DWORD* cookie : {&g_nEngineCookie, &g_nConfigCookie}) {
        if (*cookie == 0)
            continue;
        const HRESULT hr = ::CoRevokeClassObject(*cookie);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
        *cookie = 0;
    }
    g_engineFactory.releaseInstance();
    return result;
}

} // namespace MW::COM
