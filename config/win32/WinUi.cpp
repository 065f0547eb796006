#include "WinUi.h"

#include "ComError.h"
#include "resource.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

namespace MW::Win {

HWND CDialog::Create(HINSTANCE instance, int templateId, HWND parent) {
    return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, Procedure,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DoModal(HINSTANCE instance, int templateId, HWND owner) {
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, Procedure,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
    }
    if (!self)
        return FALSE;
    INT_PTR result = FALSE;
    if (!self->OnMessage(message, wParam, lParam, result))
        return FALSE;
    if (message == WM_NCDESTROY)
        self->m_hWnd = nullptr;
    // Answers other than TRUE/FALSE go through DWLP_MSGRESULT (notifications).
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_QUERYDRAGICON:
        return result;
    default:
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

std::wstring ItemText(HWND dialog, int id) {
    const HWND item = ::GetDlgItem(dialog, id);
    const int length = ::GetWindowTextLengthW(item);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(item, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

bool SetItemText(HWND dialog, int id, const std::wstring& text) {
    if (::SetDlgItemTextW(dialog, id, text.c_str()))
        return true;
    // As a failed transfer into a control is answered everywhere in the program.
    ::MessageBeep(static_cast<UINT>(-1));
    ::SetFocus(::GetDlgItem(dialog, id));
    return false;
}

std::wstring WithCrLf(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            out += L'\r';
        out += text[i];
    }
    return out;
}

std::wstring WithoutCr(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n'))
            out += text[i];
    return out;
}

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    const wchar_t* log = ::_wgetenv(L"MW_MESSAGE_LOG");
    if (log && *log) {
        if (FILE* file = ::_wfopen(log, L"ab")) {
            std::string line = Utf8(caption) + "\t";
            for (const char c : Utf8(text))
                line += c == '\n' ? std::string("\\n") : std::string(1, c);
            line += "\n";
            std::fwrite(line.data(), 1, line.size(), file);
            std::fclose(file);
        }
        return IDOK;
    }
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

namespace {

// GDI+ runs while the program decodes images: started at the first decode and
// shut down when the program ends.
class CGdiPlus {
public:
    bool start() {
        if (m_token)
            return true;
        Gdiplus::GdiplusStartupInput input;
        return Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~CGdiPlus() {
        if (m_token)
            Gdiplus::GdiplusShutdown(m_token);
    }

private:
    ULONG_PTR m_token = 0;
};
CGdiPlus g_gdiPlus;

} // namespace

HBITMAP LoadPngResource(HINSTANCE instance, int id) {
    const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), L"PNG");
    if (!found)
        return nullptr;
    const DWORD size = ::SizeofResource(instance, found);
    const HGLOBAL loaded = ::LoadResource(instance, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0 || !g_gdiPlus.start())
        return nullptr;
    const HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    if (void* target = ::GlobalLock(copy)) {
        std::memcpy(target, bytes, size);
        ::GlobalUnlock(copy);
    }
    HBITMAP bitmap = nullptr;
    IStream* stream = nullptr;
    // The stream does not own the block: it is freed once, below.
    if (SUCCEEDED(::CreateStreamOnHGlobal(copy, FALSE, &stream))) {
        Gdiplus::GpBitmap* image = nullptr;
        if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream, &image) == Gdiplus::Ok) {
            Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(image, &bitmap, 0xFFFFFFFF);
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
        stream->Release();
    }
    ::GlobalFree(copy);
    return bitmap;
}

void ShowBanner(HWND page, int pictureId) {
    static const HBITMAP banner = LoadPngResource(::GetModuleHandleW(nullptr), IDB_BANNER);
    if (!banner)
        return;
    // The control shows its own copy, so one decoded banner serves every page.
    const HANDLE copy = ::CopyImage(banner, IMAGE_BITMAP, 0, 0, 0);
    const HANDLE old = reinterpret_cast<HANDLE>(
        ::SendDlgItemMessageW(page, pictureId, STM_SETIMAGE, IMAGE_BITMAP,
                              reinterpret_cast<LPARAM>(copy)));
    if (old)
        ::DeleteObject(old);
}

void CenterWindow(HWND dialog, HWND owner) {
    RECT window{}, area{};
    ::GetWindowRect(dialog, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST),
                      &monitor);
    area = monitor.rcWork;
    RECT around = area;
    if (owner && ::IsWindowVisible(owner))
        ::GetWindowRect(owner, &around);
    const int width = window.right - window.left, height = window.bottom - window.top;
    int x = (around.left + around.right - width) / 2;
    int y = (around.top + around.bottom - height) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace MW::Win
