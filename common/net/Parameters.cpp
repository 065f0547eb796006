#include "Parameters.h"

#include "Text.h"

namespace Cxx::Network::Http::HttpClient {

CSimpleTextParameter::CSimpleTextParameter(const char16_t* text) {
    const std::u16string_view view = text ? std::u16string_view(text) : std::u16string_view();
    auto utf8 = MW::Common::utf16ToUtf8Strict(view);
    if (!utf8)
        throw Exception::CNetworkException(Messages::kParameterUtf8);
    m_data = std::move(*utf8);
}

const char* CSimpleTextParameter::GetData(std::size_t& size) const {
    size = m_data.size();
    if (size == 0)
        throw Exception::CNetworkException(Messages::kParameterEmpty);
    return m_data.c_str();
}

} // namespace Cxx::Network::Http::HttpClient
