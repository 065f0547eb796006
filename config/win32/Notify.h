#pragma once
// The notification beside the tray after a scan that left files behind, and the
// list of those files it opens.

#include "WinUi.h"

#include <string>

namespace MW::Win {

class CTrayNotificationDlg final : public CDialog {
public:
    void SetText(const std::wstring& text);
    std::wstring m_strText;
    std::wstring m_strListPath;
    bool m_bListReady = false;

    static std::wstring AnnouncementText(int count);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    bool m_bShaped = false;
};

class CUndeletedFilesDlg final : public CDialog {
public:
    std::wstring m_strListPath;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void fill();
};

} // namespace MW::Win
