#pragma once
// What every COM object of the service shares: text between UTF-8 inside and
// BSTRs outside, the HRESULT of a failure, the module's lock count and the gate
// that closes the objects when the service stops.

#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace MW::COM {

// A new BSTR holding `utf8` (an empty text gives an empty BSTR, never a null one).
// E_POINTER for a null `out`, E_OUTOFMEMORY when it cannot be allocated.
HRESULT toBstr(std::string_view utf8, BSTR* out);
// The whole BSTR as UTF-8, embedded NULs included; a null BSTR is the empty text.
std::string fromBstr(BSTR text);

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// A failure that already has its HRESULT (a system call's), passed on as it is.
class CHresultError : public std::exception {
public:
    explicit CHresultError(HRESULT hr) : m_hr(hr) {}
    HRESULT hresult() const noexcept { return m_hr; }
    const char* what() const noexcept override { return "COM call failed"; }

private:
    HRESULT m_hr;
};

// The HRESULT for the exception being handled: a contract error by its name
// (access denied, invalid argument, type mismatch, the connection point's), a
// failed allocation as E_OUTOFMEMORY, anything else as E_FAIL.
HRESULT currentHresult() noexcept;

// Runs one call of a client on an object: the gate must be open (else
// CO_E_SERVER_STOPPING), and whatever the call throws becomes its HRESULT.
HRESULT guarded(const std::function<void()>& body) noexcept;

// The module's lock count: objects held by clients keep a plain local server
// running. The host sets what happens when the count falls to zero.
void lockModule() noexcept;
void unlockModule() noexcept;
long moduleLockCount() noexcept;
void setModuleIdleHandler(std::function<void()> onIdle);

// Closes every object to further calls and waits at most `wait` for the calls
// under way, so that the settings record can be saved and destroyed without a
// client inside it. False when a call is still running (a client's fireEvent held
// up by a sink that does not answer): the record must then be left in place.
// Reopened for the next run (tests run the module more than once).
bool closeObjects(std::chrono::milliseconds wait);
void openObjects();

} // namespace MW::COM
