#include "CPagesView.h"

#include "CContactUsDlg.h"
#include "COverviewDlg.h"
#include "CSettingsDlg.h"
#include "Formatting.h"
#include "Messages.h"
#include "QtValues.h"

namespace MW {

CPagesView::CPagesView(SPages pages, std::function<void(qint32, const QString&)> announce,
                       std::function<void(int)> endProgram)
    : m_pages(pages), m_announce(std::move(announce)), m_endProgram(std::move(endProgram)) {}

void CPagesView::ShowMessage(EOwner owner, EIcon icon, const QString& text,
                             const QString& caption) {
    QWidget* parent = owner == EOwner::MainWindow     ? m_pages.window
                      : owner == EOwner::SettingsPage ? m_pages.settings
                                                      : nullptr;
    Messages::show(parent, icon == EIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                   text, caption);
}

Client::SSettingsValues CPagesView::ShownSettings() {
    Client::SSettingsValues values;
    m_pages.settings->ShownValues(values);
    m_pages.contact->ShownValues(values);
    return values;
}

Client::SSettingsValues CPagesView::SettingsToSave() {
    Client::SSettingsValues values;
    m_pages.settings->TakeValues(values);
    m_pages.contact->TakeValues(values);
    return values;
}

void CPagesView::ShowSettings(const Client::SSettingsValues& values) {
    m_pages.settings->SetValues(values);
    m_pages.contact->SetValues(values);
}

void CPagesView::ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) {
    if (!m_pages.settings->SetValue(property, values))
        m_pages.contact->SetValue(property, values);
}

void CPagesView::SetContactProxy(const Client::SContactProxy& proxy) {
    m_pages.contact->SetProxy(Link::toQString(proxy.server), proxy.port);
}

void CPagesView::SetLastScan(const QString& text) {
    m_pages.overview->SetLastScan(text);
}

void CPagesView::SetCleanedSpace(quint64 bytes) {
    m_pages.overview->SetCleanedSpace(Link::toQString(Client::FormatMegabytes(bytes)));
}

void CPagesView::SetScanRunning(bool running) {
    m_pages.settings->EnableStartTime(!running);
    m_pages.overview->EnableScanButtons(!running);
}

void CPagesView::SetReadOnly(bool readOnly, const QString& group) {
    m_pages.settings->SetReadOnly(readOnly, group);
    m_pages.overview->SetReadOnly(readOnly);
}

void CPagesView::SetLoaded(bool loaded) {
    m_pages.settings->SetLoaded(loaded);
}

void CPagesView::SetEngine(CServiceLink* engine) {
    m_pages.overview->setEngine(engine);
}

void CPagesView::AnnounceUndeleted(qint32 count, const QString& listPath) {
    if (m_announce)
        m_announce(count, listPath);
}

void CPagesView::EndProgram(int status) {
    if (m_endProgram)
        m_endProgram(status);
}

} // namespace MW
