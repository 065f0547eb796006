#pragma once
// The archive format of the settings file: a Boost text archive whose strings are
// counted UTF-16 code units stored as raw little-endian bytes and whose doubles
// carry 17 significant digits, with library version 9 in the header. Stock Boost
// on Linux writes 4-byte wchar_t, its own library version and scientific doubles,
// which the files of existing installations do not hold.
//
// Strings are UTF-8 in memory: every std::string passing through these archives is
// converted at the file boundary.

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

namespace MW {

// The archive library version written into the header, and the highest one read.
inline constexpr unsigned int kSettingsArchiveVersion = 9;

class CSettingsOArchive : public boost::archive::text_oarchive_impl<CSettingsOArchive> {
    using Base = boost::archive::text_oarchive_impl<CSettingsOArchive>;
    friend class boost::archive::detail::interface_oarchive<CSettingsOArchive>;
    friend class boost::archive::basic_text_oarchive<CSettingsOArchive>;
    friend class boost::archive::save_access;

public:
    // Writes the header at once; the line end follows when the archive is
    // destroyed. The caller imbues `stream` with std::locale::classic().
    explicit CSettingsOArchive(std::ostream& stream);
    ~CSettingsOArchive() override = default;

protected:
    using Base::save;
    // Count of UTF-16 code units, one space, the units as little-endian bytes.
    void save(const std::string& text);
    // "%.17g"; a value that is not finite is refused, as it could not be read back.
    void save(double value);
};

class CSettingsIArchive : public boost::archive::text_iarchive_impl<CSettingsIArchive> {
    using Base = boost::archive::text_iarchive_impl<CSettingsIArchive>;
    friend class boost::archive::detail::interface_iarchive<CSettingsIArchive>;
    friend class boost::archive::basic_text_iarchive<CSettingsIArchive>;
    friend class boost::archive::load_access;

public:
    // Reads and checks the header at once. `inputSize` is at least the number of
    // characters the stream can deliver: no string count may claim more, so a
    // corrupt count cannot make the reader allocate more than the file holds.
    // Throws boost::archive::archive_exception on a wrong signature or a library
    // version above kSettingsArchiveVersion.
    CSettingsIArchive(std::istream& stream, std::uint64_t inputSize);
    ~CSettingsIArchive() override = default;

protected:
    using Base::load;
    void load(std::string& text);

private:
    void readHeader();
    std::uint64_t remainingInput();

    std::uint64_t m_nInputSize;
};

} // namespace MW
