#pragma once

#include "ISessionView.h"

#include <QtGlobal>
#include <functional>

class QWidget;

namespace MW {

class CContactUsDlg;
class COverviewDlg;
class CSettingsDlg;

// The session's view made of the three pages: values go into and come out of
// them, messages are shown as message boxes. The main window owns one; tests of
// the pages use one of their own.
class CPagesView : public ISessionView {
public:
    struct SPages {
        QWidget* window; // owner of the main window's message boxes
        COverviewDlg* overview;
        CSettingsDlg* settings;
        CContactUsDlg* contact;
    };
    CPagesView(SPages pages, std::function<void(qint32, const QString&)> announce,
               std::function<void(int)> endProgram);

    void ShowMessage(EOwner owner, EIcon icon, const QString& text,
                     const QString& caption) override;
    Client::SSettingsValues ShownSettings() override;
    Client::SSettingsValues SettingsToSave() override;
    void ShowSettings(const Client::SSettingsValues& values) override;
    void ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) override;
    void SetContactProxy(const Client::SContactProxy& proxy) override;
    void SetLastScan(const QString& text) override;
    void SetCleanedSpace(quint64 bytes) override;
    void SetScanRunning(bool running) override;
    void SetReadOnly(bool readOnly, const QString& group) override;
    void SetLoaded(bool loaded) override;
    void SetEngine(CServiceLink* engine) override;
    void AnnounceUndeleted(qint32 count, const QString& listPath) override;
    void EndProgram(int status) override;

private:
    SPages m_pages;
    std::function<void(qint32, const QString&)> m_announce;
    std::function<void(int)> m_endProgram;
};

} // namespace MW
