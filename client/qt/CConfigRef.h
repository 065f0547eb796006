#pragma once

#include "BusCalls.h"
#include "CCallError.h"
#include "ConfigTransfer.h"

#include <QDBusConnection>
#include <QString>
#include <QVariant>

namespace MW {

// The service's Config object for one transfer of settings. Every getter and
// setter is one blocking call with the link's call time-out (and within its
// deadline); a failure throws CCallError. Obtained from CServiceLink::Config().
class CConfigRef : public Client::IConfigObject {
public:
    explicit CConfigRef(Link::RemoteObject object);

    // Any property, as the client rules take it.
    Client::PropertyValue get(Client::EProperty property) override;
    void set(Client::EProperty property, const Client::PropertyValue& value) override;

    QString ScanFolder() const;
    void setScanFolder(const QString& value);
    QString FileTypes() const;
    void setFileTypes(const QString& value);
    QString OtherFileTypes() const;
    void setOtherFileTypes(const QString& value);
    double StartTime() const;
    void setStartTime(double oleDate);
    qint32 DeleteAge() const;
    void setDeleteAge(qint32 value);
    QString LastScan() const;
    void setLastScan(const QString& value);
    quint64 CleanedSpace() const;
    void setCleanedSpace(quint64 value);
    QString ContactName() const;
    void setContactName(const QString& value);
    QString ContactEmail() const;
    void setContactEmail(const QString& value);
    QString ProxyServer() const;
    void setProxyServer(const QString& value);
    QString ProxyPort() const;
    void setProxyPort(const QString& value);
    qint32 ProxyUsage() const;
    void setProxyUsage(qint32 value);
    qint32 ProxySysUsage() const;
    void setProxySysUsage(qint32 value);
    QString ProxySysServer() const;
    void setProxySysServer(const QString& value);
    QString ProxySysBypass() const;
    void setProxySysBypass(const QString& value);
    quint32 ProxySysAccessType() const;
    void setProxySysAccessType(quint32 value);

private:
    QVariant read(const QString& name) const;
    void write(const QString& name, const QVariant& value) const;

    Link::RemoteObject m_object;
};

} // namespace MW
