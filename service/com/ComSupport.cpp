#include "ComSupport.h"

#include "CConnectionPoint.h"
#include "Contract.h"
#include "Text.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <olectl.h>
#include <shared_mutex>

namespace MW::COM {
namespace {

std::atomic<long> g_nLocks{0};
std::mutex g_idleMutex;
std::function<void()> g_fnOnIdle;

// Shared by calls, taken exclusively by closeObjects() to wait for them.
std::shared_timed_mutex g_gate;
std::atomic<bool> g_bClosed{false};

} // namespace

HRESULT toBstr(std::string_view utf8, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const std::u16string wide = Common::utf8ToUtf16(utf8);
    // SysAllocStringLen with a null source gives an uninitialised string; an empty
    // one still needs a valid pointer.
    BSTR text = ::SysAllocStringLen(nullptr, static_cast<UINT>(wide.size()));
    if (!text)
        return E_OUTOFMEMORY;
    if (!wide.empty())
        std::memcpy(text, wide.data(), wide.size() * sizeof(char16_t));
    *out = text;
    return S_OK;
}

std::string fromBstr(BSTR text) {
    if (!text)
        return std::string();
    const UINT length = ::SysStringLen(text);
    return Common::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

std::wstring widen(std::string_view utf8) {
    const std::u16string wide = Common::utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string narrow(std::wstring_view wide) {
    return Common::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

HRESULT currentHresult() noexcept {
    try {
        throw;
    } catch (const CHresultError& e) {
        return e.hresult();
    } catch (const CContractError& e) {
        const std::string& name = e.name();
        if (name == Bus::kErrorAccessDenied)
            return E_ACCESSDENIED;
        if (name == Bus::kErrorInvalidArgs)
            return E_INVALIDARG;
        if (name == Bus::kErrorTypeMismatch)
            return DISP_E_TYPEMISMATCH;
        if (name == Objects::kErrorCannotConnect)
            return CONNECT_E_CANNOTCONNECT;
        if (name == Objects::kErrorAdviseLimit)
            return CONNECT_E_ADVISELIMIT;
        if (name == Objects::kErrorNoConnection)
            return CONNECT_E_NOCONNECTION;
        return E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT guarded(const std::function<void()>& body) noexcept {
    try {
        std::shared_lock lock(g_gate);
        if (g_bClosed.load())
            return CO_E_SERVER_STOPPING;
        body();
        return S_OK;
    } catch (...) {
        return currentHresult();
    }
}

void lockModule() noexcept {
    g_nLocks.fetch_add(1);
}

void unlockModule() noexcept {
    if (g_nLocks.fetch_sub(1) != 1)
        return;
    std::function<void()> onIdle;
    {
        std::lock_guard lock(g_idleMutex);
        onIdle = g_fnOnIdle;
    }
    if (onIdle)
        onIdle();
}

long moduleLockCount() noexcept {
    return g_nLocks.load();
}

void setModuleIdleHandler(std::function<void()> onIdle) {
    std::lock_guard lock(g_idleMutex);
    g_fnOnIdle = std::move(onIdle);
}

bool closeObjects(std::chrono::milliseconds wait) {
    // New calls are refused from here on; the lock only waits for those inside.
    g_bClosed.store(true);
    std::unique_lock lock(g_gate, std::defer_lock);
    return lock.try_lock_for(wait);
}

void openObjects() {
    g_bClosed.store(false);
}

} // namespace MW::COM
