#pragma once
// The session's view as plain values: what "the pages" show, which a test edits
// as a user would, and a record of everything the session told them.

#include "CServiceLink.h"
#include "ISessionView.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace MW::Test {

class RecordingView : public ISessionView {
public:
    Client::SSettingsValues shown;
    QStringList messages; // "caption|text"
    QString lastScan;
    quint64 cleanedSpace = 0;
    bool scanRunning = false;
    bool readOnly = false;
    QString group;
    bool loaded = false;
    CServiceLink* engine = nullptr;
    Client::SContactProxy contactProxy;
    QStringList announced; // "count|list"
    std::optional<int> ended;
    int loads = 0; // complete loads (ShowSettings)

    void ShowMessage(EOwner, EIcon, const QString& text, const QString& caption) override {
        messages << caption + QLatin1Char('|') + text;
    }
    Client::SSettingsValues ShownSettings() override { return shown; }
    Client::SSettingsValues SettingsToSave() override { return shown; }
    void ShowSettings(const Client::SSettingsValues& values) override {
        shown = values;
        ++loads;
    }
    void ShowSetting(Client::EProperty property, const Client::SSettingsValues& values) override {
        Client::Assign(shown, property, Client::ValueOf(values, property));
    }
    void SetContactProxy(const Client::SContactProxy& proxy) override { contactProxy = proxy; }
    void SetLastScan(const QString& text) override { lastScan = text; }
    void SetCleanedSpace(quint64 bytes) override { cleanedSpace = bytes; }
    void SetScanRunning(bool running) override { scanRunning = running; }
    void SetReadOnly(bool ro, const QString& g) override {
        readOnly = ro;
        group = g;
    }
    void SetLoaded(bool l) override { loaded = l; }
    void SetEngine(CServiceLink* e) override { engine = e; }
    void AnnounceUndeleted(qint32 count, const QString& list) override {
        announced << QString::number(count) + QLatin1Char('|') + list;
    }
    void EndProgram(int status) override { ended = status; }

    int messagesWith(const QString& part) const {
        int count = 0;
        for (const QString& m : messages)
            count += m.contains(part) ? 1 : 0;
        return count;
    }
};

} // namespace MW::Test
