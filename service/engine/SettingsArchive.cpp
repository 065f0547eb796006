#include "SettingsArchive.h"

#include "Text.h"

#include <array>
#include <boost/archive/archive_exception.hpp>
#include <boost/archive/detail/archive_serializer_map.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/basic_text_oarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>
#include <boost/archive/impl/text_oarchive_impl.ipp>
#include <boost/serialization/throw_exception.hpp>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

// Boost's archive templates are compiled once per archive class.
namespace boost::archive {
template class detail::archive_serializer_map<MW::CSettingsOArchive>;
template class basic_text_oarchive<MW::CSettingsOArchive>;
template class text_oarchive_impl<MW::CSettingsOArchive>;
template class detail::archive_serializer_map<MW::CSettingsIArchive>;
template class basic_text_iarchive<MW::CSettingsIArchive>;
template class text_iarchive_impl<MW::CSettingsIArchive>;
} // namespace boost::archive

namespace MW {
namespace {

using boost::archive::archive_exception;

// The signature of Boost text archives, fixed by the file format.
constexpr std::string_view kSignature = "serialization::archive";

[[noreturn]] void fail(archive_exception::exception_code code) {
    boost::serialization::throw_exception(archive_exception(code));
}

} // namespace

// ---- writing ----

CSettingsOArchive::CSettingsOArchive(std::ostream& stream) : Base(stream, 0) {
    // The signature goes out as a narrow counted string, whatever save(string)
    // does with the settings' own strings.
    Base::save(std::string(kSignature));
    Base::save(kSettingsArchiveVersion);
}

void CSettingsOArchive::save(const std::string& text) {
    const std::u16string units = Common::utf8ToUtf16(text);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    Base::save(static_cast<std::uint64_t>(units.size()));
    newtoken();
    if (os.fail())
        fail(archive_exception::output_stream_error);
    os.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void CSettingsOArchive::save(double value) {
    if (!std::isfinite(value))
        fail(archive_exception::output_stream_error);
    std::array<char, 32> buffer{};
    // std::to_chars ignores the global locale, unlike printf.
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 17);
    if (result.ec != std::errc())
        fail(archive_exception::output_stream_error);
    newtoken();
    if (os.fail())
        fail(archive_exception::output_stream_error);
    os.write(buffer.data(), result.ptr - buffer.data());
}

// ---- reading ----

CSettingsIArchive::CSettingsIArchive(std::istream& stream, std::uint64_t inputSize)
    : Base(stream, 0), m_nInputSize(inputSize) {
    readHeader();
}

void CSettingsIArchive::readHeader() {
    // The signature is a counted narrow string of fixed length: any other count
    // is a wrong signature, and is never used to size a buffer.
    const std::string expected(kSignature);
    long long count = 0;
    if (!(is >> count) || count != static_cast<long long>(expected.size()) || is.get() != ' ')
        fail(archive_exception::invalid_signature);
    std::string signature(expected.size(), '\0');
    if (!is.read(signature.data(), static_cast<std::streamsize>(signature.size())) ||
        signature != expected)
        fail(archive_exception::invalid_signature);

    long long version = -1;
    if (!(is >> version))
        fail(archive_exception::input_stream_error);
    if (version < 0 || version > static_cast<long long>(kSettingsArchiveVersion))
        fail(archive_exception::unsupported_version);
    set_library_version(
        boost::serialization::library_version_type(static_cast<unsigned int>(version)));
}

std::uint64_t CSettingsIArchive::remainingInput() {
    const std::streamoff position = is.tellg();
    if (position < 0)
        return m_nInputSize;
    const auto consumed = static_cast<std::uint64_t>(position);
    return consumed < m_nInputSize ? m_nInputSize - consumed : 0;
}

void CSettingsIArchive::load(std::string& text) {
    long long count = -1;
    if (!(is >> count) || count < 0)
        fail(archive_exception::input_stream_error);
    if (is.get() != ' ')
        fail(archive_exception::input_stream_error);
    const auto units = static_cast<std::uint64_t>(count);
    if (units > remainingInput() / 2)
        fail(archive_exception::input_stream_error);

    std::string bytes(static_cast<std::size_t>(units * 2), '\0');
    if (!bytes.empty() && !is.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        fail(archive_exception::input_stream_error);
    std::u16string utf16(static_cast<std::size_t>(units), u'\0');
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        utf16[i] = static_cast<char16_t>(low | (high << 8));
    }
    text = Common::utf16ToUtf8(utf16);
}

} // namespace MW
