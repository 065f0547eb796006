#include "CCallError.h"

#include "Contract.h"

namespace MW {

CCallError::CCallError(QString text, QString name)
    : m_text(std::move(text)), m_name(std::move(name)), m_utf8(m_text.toUtf8()) {}

bool CCallError::isAccessDenied() const {
    return m_name == QLatin1String(Bus::kErrorAccessDenied);
}

} // namespace MW
