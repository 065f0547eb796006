#include "CDispatchSink.h"

#include "Contract.h"

#include <objbase.h>

namespace MW::COM {
namespace {

// Events are fired on whatever thread the engine's caller runs: a COM worker
// thread (already in the multithreaded apartment) or the cleaner's thread, which
// joins the apartment on its first event and leaves it when it ends.
class CThreadApartment {
public:
    CThreadApartment() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~CThreadApartment() {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CThreadApartment(const CThreadApartment&) = delete;
    CThreadApartment& operator=(const CThreadApartment&) = delete;

private:
    HRESULT m_hr;
};

void joinApartment() {
    thread_local CThreadApartment apartment;
}

} // namespace

void CDispatchSink::scanStarted() {
    invoke(DispId::scanStarted, nullptr);
}

void CDispatchSink::scanFinished() {
    invoke(DispId::scanFinished, nullptr);
}

void CDispatchSink::updateCleanedSpace(std::uint64_t cleanedSpace) {
    VARIANT total;
    ::VariantInit(&total);
    total.vt = VT_UI8;
    total.ullVal = cleanedSpace;
    invoke(DispId::updateCleanedSpace, &total);
}

void CDispatchSink::test() {
    invoke(DispId::test, nullptr);
}

void CDispatchSink::invoke(DISPID id, VARIANT* argument) {
    joinApartment();
    DISPPARAMS params{argument, nullptr, argument ? 1u : 0u, 0};
    VARIANT result;
    ::VariantInit(&result);
    m_pSink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
                    nullptr);
    ::VariantClear(&result);
}

} // namespace MW::COM
