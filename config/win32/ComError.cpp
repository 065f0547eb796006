#include "ComError.h"

#include "Text.h"

#include <oleauto.h>

#include <cstdio>

namespace MW::Win {

std::string Utf8(const std::wstring& text) {
    return Common::utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring Wide(const std::string& utf8) {
    const std::u16string wide = Common::utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::wstring ErrorText(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length > 0 && buffer) {
        std::wstring text(buffer, length);
        ::LocalFree(buffer);
        if (!text.empty() && text.back() == L'\n') {
            text.pop_back();
            if (!text.empty() && text.back() == L'\r')
                text.pop_back();
        }
        return text;
    }
    if (buffer)
        ::LocalFree(buffer);
    wchar_t text[64];
    const auto code = static_cast<unsigned long>(hr);
    if (code >= 0x80040200ul && code <= 0x8004FFFFul && (code & 0xFFFF) - 0x200 != 0)
        std::swprintf(text, 64, L"IDispatch error #%d", static_cast<int>((code & 0xFFFF) - 0x200));
    else
        std::swprintf(text, 64, L"Unknown error 0x%0lX", code);
    return text;
}

CComError::CComError(HRESULT hr, const IID& iid)
    : Client::CCallFailure(Utf8(ErrorText(hr))), m_hr(hr), m_iid(iid) {
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description)) && description)
            m_description.assign(description, ::SysStringLen(description));
        ::SysFreeString(description);
        info->Release();
    }
}

std::wstring CComError::ErrorMessage() const {
    return ErrorText(m_hr);
}

} // namespace MW::Win
