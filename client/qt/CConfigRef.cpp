#include "CConfigRef.h"

#include "Contract.h"
#include "QtValues.h"

#include <QDBusVariant>

namespace MW {

namespace {
const QString kConfigInterface = QString::fromLatin1(Bus::kConfigInterface);
} // namespace

CConfigRef::CConfigRef(Link::RemoteObject object) : m_object(std::move(object)) {}

QVariant CConfigRef::read(const QString& name) const {
    return m_object.get(kConfigInterface, name);
}

void CConfigRef::write(const QString& name, const QVariant& value) const {
    m_object.set(kConfigInterface, name, value);
}

Client::PropertyValue CConfigRef::get(Client::EProperty property) {
    const QString name = QLatin1String(Client::PropertyInfo(property).name);
    return Link::fromBusValue(property, read(name));
}

void CConfigRef::set(Client::EProperty property, const Client::PropertyValue& value) {
    write(QLatin1String(Client::PropertyInfo(property).name), Link::toBusValue(property, value));
}

QString CConfigRef::ScanFolder() const {
    return Link::toText(read(QStringLiteral("ScanFolder")), QStringLiteral("ScanFolder"));
}

void CConfigRef::setScanFolder(const QString& value) {
    write(QStringLiteral("ScanFolder"), value);
}

QString CConfigRef::FileTypes() const {
    return Link::toText(read(QStringLiteral("FileTypes")), QStringLiteral("FileTypes"));
}

void CConfigRef::setFileTypes(const QString& value) {
    write(QStringLiteral("FileTypes"), value);
}

QString CConfigRef::OtherFileTypes() const {
    return Link::toText(read(QStringLiteral("OtherFileTypes")), QStringLiteral("OtherFileTypes"));
}

void CConfigRef::setOtherFileTypes(const QString& value) {
    write(QStringLiteral("OtherFileTypes"), value);
}

double CConfigRef::StartTime() const {
    return Link::toDate(read(QStringLiteral("StartTime")), QStringLiteral("StartTime"));
}

void CConfigRef::setStartTime(double oleDate) {
    write(QStringLiteral("StartTime"), QVariant::fromValue(QDBusVariant(oleDate)));
}

qint32 CConfigRef::DeleteAge() const {
    return Link::toInt32(read(QStringLiteral("DeleteAge")), QStringLiteral("DeleteAge"));
}

void CConfigRef::setDeleteAge(qint32 value) {
    write(QStringLiteral("DeleteAge"), QVariant::fromValue<int>(value));
}

QString CConfigRef::LastScan() const {
    return Link::toText(read(QStringLiteral("LastScan")), QStringLiteral("LastScan"));
}

void CConfigRef::setLastScan(const QString& value) {
    write(QStringLiteral("LastScan"), value);
}

quint64 CConfigRef::CleanedSpace() const {
    return Link::toUInt64(read(QStringLiteral("CleanedSpace")), QStringLiteral("CleanedSpace"));
}

void CConfigRef::setCleanedSpace(quint64 value) {
    write(QStringLiteral("CleanedSpace"), QVariant::fromValue<qulonglong>(value));
}

QString CConfigRef::ContactName() const {
    return Link::toText(read(QStringLiteral("ContactName")), QStringLiteral("ContactName"));
}

void CConfigRef::setContactName(const QString& value) {
    write(QStringLiteral("ContactName"), value);
}

QString CConfigRef::ContactEmail() const {
    return Link::toText(read(QStringLiteral("ContactEmail")), QStringLiteral("ContactEmail"));
}

void CConfigRef::setContactEmail(const QString& value) {
    write(QStringLiteral("ContactEmail"), value);
}

QString CConfigRef::ProxyServer() const {
    return Link::toText(read(QStringLiteral("ProxyServer")), QStringLiteral("ProxyServer"));
}

void CConfigRef::setProxyServer(const QString& value) {
    write(QStringLiteral("ProxyServer"), value);
}

QString CConfigRef::ProxyPort() const {
    return Link::toText(read(QStringLiteral("ProxyPort")), QStringLiteral("ProxyPort"));
}

void CConfigRef::setProxyPort(const QString& value) {
    write(QStringLiteral("ProxyPort"), value);
}

qint32 CConfigRef::ProxyUsage() const {
    return Link::toInt32(read(QStringLiteral("ProxyUsage")), QStringLiteral("ProxyUsage"));
}

void CConfigRef::setProxyUsage(qint32 value) {
    write(QStringLiteral("ProxyUsage"), QVariant::fromValue<int>(value));
}

qint32 CConfigRef::ProxySysUsage() const {
    return Link::toInt32(read(QStringLiteral("ProxySysUsage")), QStringLiteral("ProxySysUsage"));
}

void CConfigRef::setProxySysUsage(qint32 value) {
    write(QStringLiteral("ProxySysUsage"), QVariant::fromValue<int>(value));
}

QString CConfigRef::ProxySysServer() const {
    return Link::toText(read(QStringLiteral("ProxySysServer")), QStringLiteral("ProxySysServer"));
}

void CConfigRef::setProxySysServer(const QString& value) {
    write(QStringLiteral("ProxySysServer"), value);
}

QString CConfigRef::ProxySysBypass() const {
    return Link::toText(read(QStringLiteral("ProxySysBypass")), QStringLiteral("ProxySysBypass"));
}

void CConfigRef::setProxySysBypass(const QString& value) {
    write(QStringLiteral("ProxySysBypass"), value);
}

quint32 CConfigRef::ProxySysAccessType() const {
    return Link::toUInt32(read(QStringLiteral("ProxySysAccessType")),
                          QStringLiteral("ProxySysAccessType"));
}

void CConfigRef::setProxySysAccessType(quint32 value) {
    write(QStringLiteral("ProxySysAccessType"), QVariant::fromValue<uint>(value));
}

} // namespace MW
