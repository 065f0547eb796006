#pragma once
// A failed COM call as the configurator reports it: the HRESULT, the interface
// called and the error information the server left, with the text the messages
// show after their fixed part.

#include "CSession.h"

#include <windows.h>

#include <string>

namespace MW::Win {

// The text of an HRESULT: the system's message (without its closing line
// break); "IDispatch error #N" for an unknown code of FACILITY_ITF from 0x201
// on; otherwise "Unknown error 0x...".
std::wstring ErrorText(HRESULT hr);

class CComError : public Client::CCallFailure {
public:
    // Takes the thread's error information, if the server left any.
    CComError(HRESULT hr, const IID& iid);

    HRESULT Error() const { return m_hr; }
    const IID& Interface() const { return m_iid; }
    // The server's own description, empty when it left none.
    const std::wstring& Description() const { return m_description; }
    std::wstring ErrorMessage() const;

private:
    HRESULT m_hr;
    IID m_iid;
    std::wstring m_description;
};

// Throws CComError for a failed HRESULT.
inline void Check(HRESULT hr, const IID& iid) {
    if (FAILED(hr))
        throw CComError(hr, iid);
}

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

} // namespace MW::Win
