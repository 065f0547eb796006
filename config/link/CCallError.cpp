#include "CCallError.h"

namespace MW {

CCallError::CCallError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}

} // namespace MW
