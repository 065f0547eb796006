#pragma once
// The type library this program carries as resource 1, loaded once, and the
// IDispatch half of the dual interfaces built on it.

#include <oaidl.h>
#include <windows.h>

#include <string>

namespace MW::COM {

// The full path of this program (the module whose resource holds the library).
std::wstring modulePath();

// The library, with an added reference.
HRESULT loadTypeLib(ITypeLib** out);

// IDispatch through the type information of one dual interface: names are
// resolved and calls made by ITypeInfo on the object's own vtable.
class CDispatchTable {
public:
    explicit CDispatchTable(const IID& iid) : m_iid(iid) {}
    CDispatchTable(const CDispatchTable&) = delete;
    CDispatchTable& operator=(const CDispatchTable&) = delete;

    HRESULT getTypeInfoCount(UINT* count);
    HRESULT getTypeInfo(UINT index, ITypeInfo** info);
    HRESULT getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
    HRESULT invoke(void* object, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError);

private:
    // The dispatch description (what GetTypeInfo hands out) and the vtable
    // description of the same dual interface (what Invoke calls through).
    HRESULT load(ITypeInfo** dispatchInfo, ITypeInfo** interfaceInfo);

    const IID& m_iid;
};

// The IDispatch half of a dual interface `TInterface`, answered through its
// type information; the object implements IUnknown and the interface's own
// methods.
template <class TInterface> class TDualInterface : public TInterface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return m_dispatch.getTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return m_dispatch.getTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return m_dispatch.getIDsOfNames(riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        return m_dispatch.invoke(static_cast<TInterface*>(this), id, riid, flags, params, result,
                                 exception, argError);
    }

protected:
    explicit TDualInterface(const IID& iid) : m_dispatch(iid) {}
    ~TDualInterface() = default;

private:
    CDispatchTable m_dispatch;
};

} // namespace MW::COM
