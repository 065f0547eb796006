// Loading and saving the settings file (CSettings::loadFromFile and saveToFile).

#include "CLog.h"
#include "CSettings.h"
#include "FileReplace.h"
#include "Files.h"
#include "SettingsArchive.h"

#include <boost/serialization/split_member.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>
#include <exception>
#include <filesystem>
#include <fstream>
#include <locale>
#include <mutex>
#include <optional>
#include <sstream>
#include <system_error>

namespace MW {
namespace {

// Undoes the line ends of Windows text mode, which stored every 0x0A byte, also
// one inside the UTF-16 bytes of a string, as 0x0D 0x0A: a 0x0D is dropped only
// where a 0x0A follows. A general newline filter would corrupt units such as
// U+010D (bytes 0D 01).
class CCrLfFilter : public std::streambuf {
public:
    explicit CCrLfFilter(std::streambuf* pSource) : m_pSource(pSource) {}

protected:
    int_type underflow() override {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        int_type c = m_pSource->sbumpc();
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::eof();
        if (c == 0x0D && m_pSource->sgetc() == 0x0A)
            c = m_pSource->sbumpc();
        m_chCurrent = traits_type::to_char_type(c);
        ++m_nDelivered;
        setg(&m_chCurrent, &m_chCurrent, &m_chCurrent + 1);
        return c;
    }

    // Telling the position is all the archive needs.
    pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override {
        if (off != 0 || dir != std::ios_base::cur || !(which & std::ios_base::in))
            return pos_type(off_type(-1));
        return pos_type(static_cast<off_type>(m_nDelivered) - (egptr() - gptr()));
    }

private:
    std::streambuf* m_pSource;
    char m_chCurrent = 0;
    std::uint64_t m_nDelivered = 0;
};

// Whether the file ends with the line end Windows text mode wrote (0D 0A).
// Files written here end with a bare 0A; undoing CR LF in them would corrupt
// strings whose UTF-16 bytes happen to hold 0D 0A, such as U+0D15 U+0D0A.
bool endsWithCrLf(std::ifstream& in, std::uint64_t size) {
    if (size < 2)
        return false;
    char tail[2] = {};
    in.seekg(-2, std::ios_base::end);
    const bool crlf = in.read(tail, 2) && tail[0] == 0x0D && tail[1] == 0x0A;
    in.clear();
    in.seekg(0, std::ios_base::beg);
    return crlf;
}

// Saves are serialised so that the last snapshot taken is the one that stays.
std::mutex g_saveMutex;

} // namespace

// The persisted part of the settings record, in the order of the file.
class CSettingsFile {
public:
    explicit CSettingsFile(CSettings& settings) : m_settings(settings) {}

    enum class EReadResult { ok, notOpened, damaged };
    // Reads the file into the record, each item stored as soon as it is read.
    EReadResult read(const std::string& path);
    // Empty on success, else why the file could not be written.
    std::error_code write(const std::string& path) const;

private:
    friend class boost::serialization::access;

    template <class Archive> void save(Archive& ar, unsigned int /*version*/) const {
        // One consistent snapshot, taken under the record's lock.
        std::unique_lock lock(m_settings.m_mutex);
        const CSettings& s = m_settings;
        const std::string scanFolder = s.m_strScanFolder, fileTypes = s.m_strFileTypes,
                          otherFileTypes = s.m_strOtherFileTypes, lastScan = s.m_strLastScan,
                          contactName = s.m_strContactName, contactEmail = s.m_strContactEmail,
                          proxyServer = s.m_strProxyServer, proxyPort = s.m_strProxyPort,
                          proxySysServer = s.m_strProxySysServer,
                          proxySysBypass = s.m_strProxySysBypass;
        const double startTime = s.m_dtStartTime;
        const std::int32_t deleteAge = s.m_nDeleteAge;
        const std::uint64_t cleanedSpace = s.m_nCleanedSpace;
        const bool proxyUsage = s.m_bProxyUsage, proxySysUsage = s.m_bProxySysUsage;
        const std::uint32_t proxySysAccessType = s.m_nProxySysAccessType;
        lock.unlock();

        ar << scanFolder << fileTypes << otherFileTypes << startTime << deleteAge << lastScan
           << cleanedSpace << contactName << contactEmail << proxyServer << proxyPort << proxyUsage
           << proxySysUsage << proxySysServer << proxySysBypass << proxySysAccessType;
    }

    template <class Archive> void load(Archive& ar, unsigned int /*version*/) {
        // The class version is not compared with anything.
        loadItem(ar, &CSettings::m_strScanFolder);
        loadItem(ar, &CSettings::m_strFileTypes);
        loadItem(ar, &CSettings::m_strOtherFileTypes);
        double startTime = 0;
        ar >> startTime;
        {
            std::lock_guard lock(m_settings.m_mutex);
            m_settings.m_dtStartTime = startTime;
            m_settings.m_eStartTimeStatus = EDateStatus::valid;
        }
        loadItem(ar, &CSettings::m_nDeleteAge);
        loadItem(ar, &CSettings::m_strLastScan);
        loadItem(ar, &CSettings::m_nCleanedSpace);
        loadItem(ar, &CSettings::m_strContactName);
        loadItem(ar, &CSettings::m_strContactEmail);
        loadItem(ar, &CSettings::m_strProxyServer);
        loadItem(ar, &CSettings::m_strProxyPort);
        loadItem(ar, &CSettings::m_bProxyUsage);
        loadItem(ar, &CSettings::m_bProxySysUsage);
        loadItem(ar, &CSettings::m_strProxySysServer);
        loadItem(ar, &CSettings::m_strProxySysBypass);
        loadItem(ar, &CSettings::m_nProxySysAccessType);
    }
    BOOST_SERIALIZATION_SPLIT_MEMBER()

    template <class Archive, class T> void loadItem(Archive& ar, T CSettings::*pField) {
        T value{};
        ar >> value;
        std::lock_guard lock(m_settings.m_mutex);
        m_settings.*pField = std::move(value);
    }

    CSettings& m_settings;
};

} // namespace MW

// Saved by value, class version 0, never tracked: the preamble is "0 0".
BOOST_CLASS_VERSION(MW::CSettingsFile, 0)
BOOST_CLASS_TRACKING(MW::CSettingsFile, boost::serialization::track_never)

namespace MW {

CSettingsFile::EReadResult CSettingsFile::read(const std::string& path) {
    // A directory or a device in the file's place cannot be opened as the file.
    std::error_code error;
    if (!std::filesystem::is_regular_file(Platform::fsPath(path), error))
        return EReadResult::notOpened;
    std::ifstream file(Platform::fsPath(path), std::ios_base::in | std::ios_base::binary);
    if (!file.is_open())
        return EReadResult::notOpened;
    file.seekg(0, std::ios_base::end);
    const std::streamoff end = file.tellg();
    const std::uint64_t size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    file.clear();
    file.seekg(0, std::ios_base::beg);

    std::optional<CCrLfFilter> filter;
    if (endsWithCrLf(file, size))
        filter.emplace(file.rdbuf());
    std::istream in(filter ? static_cast<std::streambuf*>(&*filter) : file.rdbuf());
    in.imbue(std::locale::classic());
    try {
        CSettingsIArchive archive(in, size);
        archive >> *this;
    } catch (const std::exception&) {
        logWrite("CSettings::loadFromFile(): Exception in text_iarchive");
        return EReadResult::damaged;
    }
    return EReadResult::ok;
}

std::error_code CSettingsFile::write(const std::string& path) const {
    std::lock_guard saveLock(g_saveMutex);
    std::ostringstream out;
    out.imbue(std::locale::classic());
    try {
        CSettingsOArchive archive(out);
        archive << *this;
    } catch (const std::exception&) {
        // A value the file cannot hold (a start time that is not a number).
        logWrite("CSettings::saveToFile(): Exception in text_oarchive");
        return std::make_error_code(std::errc::invalid_argument);
    }
    const Platform::SReplaceResult saved =
        Platform::replaceFile(path, Platform::textModeBytes(out.view()));
    switch (saved.result) {
    case Platform::EReplaceResult::ok:
        break;
    case Platform::EReplaceResult::cannotCreate:
        logWrite("CSettings::saveToFile(): Settins file not found");
        break;
    case Platform::EReplaceResult::writeFailed:
        logWrite("CSettings::saveToFile(): Exception in text_oarchive");
        break;
    }
    return saved.error;
}

void CSettings::loadFromFile(const std::string& path) {
    set(m_strSettingsPath, path);
    // A missing or damaged file is replaced by one holding the current values. A
    // damaged one is first copied aside, so that the items after the damage can
    // still be recovered by hand.
    const CSettingsFile::EReadResult result = CSettingsFile(*this).read(path);
    if (result == CSettingsFile::EReadResult::ok)
        return;
    if (result == CSettingsFile::EReadResult::damaged)
        Platform::copyFileOver(path, path + ".bad");
    saveToFile();
}

std::error_code CSettings::saveToFile() {
    return CSettingsFile(*this).write(getSettingsPath());
}

} // namespace MW
