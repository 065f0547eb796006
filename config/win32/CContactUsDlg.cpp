#include "ComError.h"
#include "Net.h"
#include "Pages.h"
#include "SupportMessage.h"
#include "resource.h"

#include <memory>
#include <thread>

namespace MW::Win {

namespace {
const wchar_t* const kKey = L"Software\\Morrowick";
const wchar_t* const kSentValue = L"sent";

// The stored day of the last message as text for the daily rule: only a
// 32-bit number counts, anything else stored lets the message go.
std::string storedDay() {
    DWORD day = 0, size = sizeof day, type = 0;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    const LONG read = ::RegQueryValueExW(key, kSentValue, nullptr, &type,
                                         reinterpret_cast<BYTE*>(&day), &size);
    ::RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_DWORD || size != sizeof day)
        return {};
    return std::to_string(day);
}

void recordSent(int today) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD day = static_cast<DWORD>(today);
    ::RegSetValueExW(key, kSentValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&day), sizeof day);
    ::RegCloseKey(key);
}
} // namespace

int CContactUsDlg::Today() {
    // Tests fix the day: the rule is about days of the year, which the clock
    // of a test run cannot choose.
    if (const wchar_t* fixed = ::_wgetenv(L"MW_TEST_DAY_OF_YEAR"); fixed && *fixed)
        return ::_wtoi(fixed);
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    static const int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const bool leap = (now.wYear % 4 == 0 && now.wYear % 100 != 0) || now.wYear % 400 == 0;
    return before[now.wMonth - 1] + now.wDay + (leap && now.wMonth > 2 ? 1 : 0);
}

bool CContactUsDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_INITDIALOG:
        m_strProxyServer.clear();
        m_nProxyPort = 0;
        ShowBanner(m_hWnd, IDC_CONTACT_BANNER);
        ::SendDlgItemMessageW(m_hWnd, IDC_TEXT, EM_LIMITTEXT, 400, 0);
        result = TRUE;
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_SEND)
            return false;
        if (!m_bSending)
            Send();
        return true;
    case kSendEnded: {
        const std::unique_ptr<SPostOutcome> outcome(reinterpret_cast<SPostOutcome*>(lParam));
        SendEnded(*outcome);
        return true;
    }
    default:
        return false;
    }
}

void CContactUsDlg::SetReadOnly(bool readOnly) {
    // Name and e-mail are stored by the service; the message itself goes out
    // whoever sends it.
    ::SendDlgItemMessageW(m_hWnd, IDC_NAME, EM_SETREADONLY, readOnly, 0);
    ::SendDlgItemMessageW(m_hWnd, IDC_EMAIL, EM_SETREADONLY, readOnly, 0);
}

namespace {
// "can’t be send" is the text the users know: kept as it is on purpose.
const wchar_t* const kCannotSend = L"Your questions and comments can\u2019t be send at the "
                                   L"moment.\nPlease, check your internet connection and try "
                                   L"again later.";
} // namespace

void CContactUsDlg::Send() {
    const HWND send = ::GetDlgItem(m_hWnd, IDC_SEND);
    ::EnableWindow(send, FALSE);
    const Client::SSupportMessage message = Client::TrimmedMessage(
        Utf8(ItemText(m_hWnd, IDC_NAME)), Utf8(ItemText(m_hWnd, IDC_EMAIL)),
        Utf8(WithoutCr(ItemText(m_hWnd, IDC_TEXT))));
    const int today = Today();
    if (!Client::IsComplete(message)) {
        ShowMessage(m_hWnd, L"Please provide information in all fields.", L"Warning!",
                    MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL);
    } else if (Client::SentOn(storedDay(), today)) {
        ShowMessage(m_hWnd,
                    L"Sorry, but you can only submit one message per day.\nPlease call the number "
                    L"on our website if this is urgent. Thank you.",
                    L"Information!", MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
    } else {
        // The request runs on a thread of its own, so a slow or silent server
        // (bounded by the HTTP client: 30 s without progress, 5 minutes in all)
        // never holds the window, the tray or the service's events. The answer
        // comes back as a message; a window gone by then drops it.
        m_bSending = true;
        m_nSendDay = today;
        const HWND window = m_hWnd;
        std::thread([window, message, server = m_strProxyServer, port = m_nProxyPort] {
            auto outcome = std::make_unique<SPostOutcome>(PostSupportMessage(message, server, port));
            if (::PostMessageW(window, kSendEnded, 0, reinterpret_cast<LPARAM>(outcome.get())))
                outcome.release();
        }).detach();
        return;
    }
    ::EnableWindow(send, TRUE);
}

void CContactUsDlg::SendEnded(const SPostOutcome& outcome) {
    if (outcome.sent) {
        SetItemText(m_hWnd, IDC_TEXT, L"");
        const wchar_t* const thanks =
            L"Your questions and comments have been sent successfully. Thank you!";
        ShowMessage(m_hWnd, thanks, thanks, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
        recordSent(m_nSendDay);
    } else {
        std::wstring text = kCannotSend;
        if (outcome.hasErrorCode)
            text += L" Error code: " + std::to_wstring(outcome.errorCode);
        ShowMessage(m_hWnd, text, L"Error!", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
    }
    m_bSending = false;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SEND), TRUE);
}

} // namespace MW::Win
