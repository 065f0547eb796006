#include "Output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace MW::Ctl {
namespace {

// Lines of a long list go out through the stream's buffer; everything else at
// once (progress lines must show as they come).
void write(std::FILE* stream, const QString& text, bool flush = true) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    if (flush)
        std::fflush(stream);
}

} // namespace

void printLine(const QString& line) {
    write(stdout, line + QLatin1Char('\n'));
}

void printListLine(const QString& line) {
    write(stdout, line + QLatin1Char('\n'), false);
}

void printJson(const QJsonObject& document) {
    write(stdout, QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)));
}

namespace {

// A value as JSON text, indented for `depth` levels of nesting.
QString jsonText(const QJsonValue& value, int depth) {
    QByteArray text;
    if (value.isObject()) {
        text = QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented).trimmed();
    } else if (value.isArray()) {
        text = QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented).trimmed();
    } else {
        // A lone value is no document: wrap it in an array and unwrap the text.
        text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        text = text.mid(1, text.size() - 2);
    }
    text.replace("\n", "\n" + QByteArray(4 * depth, ' '));
    return QString::fromUtf8(text);
}

} // namespace

CJsonStream::CJsonStream() {
    write(stdout, QStringLiteral("{"), false);
}

void CJsonStream::key(const QString& name) {
    write(stdout,
          (m_bFirstMember ? QStringLiteral("\n    ") : QStringLiteral(",\n    ")) +
              jsonText(name, 1) + QStringLiteral(": "),
          false);
    m_bFirstMember = false;
}

void CJsonStream::member(const QString& name, const QJsonValue& value) {
    key(name);
    write(stdout, jsonText(value, 1), false);
}

void CJsonStream::beginArray(const QString& name) {
    key(name);
    write(stdout, QStringLiteral("["), false);
    m_bFirstItem = true;
}

void CJsonStream::item(const QJsonValue& value) {
    write(stdout,
          (m_bFirstItem ? QStringLiteral("\n        ") : QStringLiteral(",\n        ")) +
              jsonText(value, 2),
          false);
    m_bFirstItem = false;
}

void CJsonStream::endArray() {
    write(stdout, QStringLiteral("\n    ]"), false);
}

void CJsonStream::finish() {
    write(stdout, QStringLiteral("\n}\n"));
}

void printError(const QString& message) {
    write(stderr, QStringLiteral("mwctl: ") + message + QLatin1Char('\n'));
}

QString printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f ||
            (c.unicode() >= 0x80 && c.unicode() < 0xa0))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace MW::Ctl
