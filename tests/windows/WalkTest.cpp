// The scan pass on Windows: native paths in the log and the list (CR LF line
// ends), read-only files, files held open by another program, names outside ASCII
// and the path limit counted in UTF-16 units.

#include "CSettings.h"
#include "CleanerFixture.h"
#include "Files.h"
#include "OleDate.h"
#include "Text.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <windows.h>

namespace MW::Test {
namespace {

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::wstring wide(const std::string& utf8) {
    return Platform::fsPath(utf8).wstring();
}

// Another program holding a file open with a given share mode until destroyed.
class CHolder {
public:
    CHolder(const std::string& path, const char* share, const std::string& readyFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE childInput = nullptr;
        if (!::CreatePipe(&childInput, &m_hInput, &inherit, 0)) {
            m_strError = "CreatePipe failed with " + std::to_string(::GetLastError());
            return;
        }
        ::SetHandleInformation(m_hInput, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = L"\"" + wide(MW_HOLD_FILE_EXE) + L"\" \"" + wide(path) + L"\" " +
                               wide(share) + L" \"" + wide(readyFile) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput;
        startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process{};
        // Wine now and then refuses a process start while others start and end
        // around it; a second try is what a person would do.
        for (int attempt = 0; attempt < 3 && !m_hProcess; ++attempt) {
            if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process)) {
                m_hProcess = process.hProcess;
                ::CloseHandle(process.hThread);
            } else {
                m_strError = "CreateProcessW failed with " + std::to_string(::GetLastError());
                ::Sleep(500);
            }
        }
        ::CloseHandle(childInput);
        m_bReady = m_hProcess && waitUntil([&] { return exists(readyFile); }, 60);
        DWORD code = STILL_ACTIVE;
        if (m_hProcess && !m_bReady && ::GetExitCodeProcess(m_hProcess, &code))
            m_strError = "the holder ended with " + std::to_string(code);
    }
    ~CHolder() { release(); }
    CHolder(const CHolder&) = delete;
    CHolder& operator=(const CHolder&) = delete;

    bool ready() const { return m_bReady; }
    // Why the holder is not ready, for the failure message.
    const std::string& error() const { return m_strError; }
    // Ends the holder's input, so that it closes the file and exits.
    void release() {
        if (m_hInput) {
            ::CloseHandle(m_hInput);
            m_hInput = nullptr;
        }
        if (m_hProcess) {
            if (::WaitForSingleObject(m_hProcess, 30000) != WAIT_OBJECT_0)
                ::TerminateProcess(m_hProcess, 1);
            ::CloseHandle(m_hProcess);
            m_hProcess = nullptr;
        }
    }

private:
    HANDLE m_hInput = nullptr;
    HANDLE m_hProcess = nullptr;
    bool m_bReady = false;
    std::string m_strError;
};

TEST_F(CleanerTest, WindowsPassLogsAndListsLoweredNativePaths) {
    freezeClock();
    CSettings* settings = CSettings::getInstance();
    for (const char* folder : {"\\Work", "\\Sub1", "\\Sub1\\Sub2"})
        makeFolder(m_strRoot + folder);
    makeFile(m_strRoot + "\\Work\\Plan.BAK", 3, kOld);
    setReadOnly(m_strRoot + "\\Work\\Plan.BAK");
    makeFile(m_strRoot + "\\Work\\Other.BAK", 4, kOld);
    makeFile(m_strRoot + "\\Sub1\\Sub2\\Deep.Bak", 6, kOld);
    makeFile(m_strRoot + "\\Sub1\\young.bak", 7, kYoung);
    makeFile(m_strRoot + "\\Sub1\\old.txt", 8, kOld);

    runPass(m_strRoot, ".bak");

    EXPECT_TRUE(exists(m_strRoot + "\\Work\\Plan.BAK"));
    EXPECT_FALSE(exists(m_strRoot + "\\Work\\Other.BAK"));
    EXPECT_FALSE(exists(m_strRoot + "\\Sub1\\Sub2\\Deep.Bak"));
    EXPECT_TRUE(exists(m_strRoot + "\\Sub1\\young.bak"));
    EXPECT_TRUE(exists(m_strRoot + "\\Sub1\\old.txt"));
    const std::string root = lowered(m_strRoot);
    // The list is a text file: CR LF on Windows.
    EXPECT_EQ(undeletedList(), root + "\\work\\plan.bak\r\n");
    EXPECT_EQ(settings->getUndeletedCount(), 1);
    EXPECT_EQ(settings->getCleanedSpace(), 10u);
    EXPECT_EQ(m_recorder.count(eFE_UpdateCleanedSpace), 2u);
    EXPECT_EQ(countLines("File has been deleted: " + root + "\\work\\other.bak"), 1u);
    EXPECT_EQ(countLines("File has been deleted: " + root + "\\sub1\\sub2\\deep.bak"), 1u);
    EXPECT_EQ(countLines("File has not been deleted: " + root + "\\work\\plan.bak"), 1u);
    const auto log = logLines();
    for (const char* folder : {"", "\\Work", "\\Sub1", "\\Sub1\\Sub2"})
        EXPECT_EQ(std::count(log.begin(), log.end(), "Scanning !" + m_strRoot + folder), 1)
            << folder;
    EXPECT_EQ(countLines("Scanning !"), 4u);
    EXPECT_EQ(
        countLines("Current date: " + OleDate::formatMDY(Clock::nowLocal()) + " , Modify date: "),
        3u);

    // A root given with a trailing separator, either kind, loses it, and a '/' is
    // made the native separator.
    runPass(m_strRoot + "\\", ".bak");
    runPass(m_strRoot + "/", ".bak");
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "\\Work"), 3u);
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/Work"), 0u);
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "\\\\"), 0u);
    EXPECT_EQ(countLines("Scanning !" + m_strRoot + "/\\"), 0u);
}

TEST_F(CleanerTest, WindowsPassKeepsFilesAnotherProgramHoldsWithoutDeleteSharing) {
    const std::string exclusive = m_strRoot + "\\exclusive.bak";
    const std::string readWrite = m_strRoot + "\\readwrite.bak";
    const std::string shared = m_strRoot + "\\shared.bak";
    const std::string free = m_strRoot + "\\free.bak";
    for (const std::string& path : {exclusive, readWrite, shared, free})
        makeFile(path, 1, kOld);
    {
        CHolder none(exclusive, "none", m_dir / "ready1");
        CHolder rw(readWrite, "rw", m_dir / "ready2");
        CHolder rwd(shared, "rwd", m_dir / "ready3");
        ASSERT_TRUE(none.ready() && rw.ready() && rwd.ready())
            << "the holder did not start: " << none.error() << rw.error() << rwd.error();

        runPass(m_strRoot, ".bak");

        // Without delete sharing the file stays and is listed; with it, Windows
        // deletes it (as DeleteFile would) once its holder lets go.
        EXPECT_TRUE(exists(exclusive));
        EXPECT_TRUE(exists(readWrite));
        EXPECT_FALSE(exists(free));
        const std::string root = lowered(m_strRoot);
        EXPECT_EQ(sortedLines(fromTextLines(undeletedList())),
                  (std::vector<std::string>{root + "\\exclusive.bak", root + "\\readwrite.bak"}));
        EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 2);
        EXPECT_EQ(countLines("File has been deleted: " + root + "\\shared.bak"), 1u);
    }
    EXPECT_FALSE(exists(shared));

    // Let go of, they go with the next pass.
    runPass(m_strRoot, ".bak");
    EXPECT_FALSE(exists(exclusive));
    EXPECT_FALSE(exists(readWrite));
    EXPECT_EQ(CSettings::getInstance()->getUndeletedCount(), 0);
}

TEST_F(CleanerTest, WindowsPassWalksAndDeletesNamesOutsideAscii) {
    // The folder in UTF-8 holds more bytes than UTF-16 units: every file call must
    // take the UTF-16 form, or none of these could be opened.
    const std::string folder = m_strRoot + "\\Zeichnungen-\xC3\x84rger-\xE6\x97\xA5\xE6\x9C\xAC";
    makeFolder(folder);
    makeFile(folder + "\\Plan-Gr\xC3\xB6\xC3\x9F"
                      "e.BAK",
             5, kOld);                                            // Plan-Größe.BAK
    makeFile(folder + "\\\xE5\x9B\xB3\xE9\x9D\xA2.bak", 7, kOld); // 図面.bak
    makeFile(folder + "\\\xE5\x9B\xB3.bak", 9, kOld);
    setReadOnly(folder + "\\\xE5\x9B\xB3.bak");
    makeFile(folder + "\\keep-\xC3\xA9.txt", 1, kOld);

    runPass(m_strRoot, ".bak");

    EXPECT_FALSE(exists(folder + "\\Plan-Gr\xC3\xB6\xC3\x9F"
                                 "e.BAK"));
    EXPECT_FALSE(exists(folder + "\\\xE5\x9B\xB3\xE9\x9D\xA2.bak"));
    EXPECT_TRUE(exists(folder + "\\\xE5\x9B\xB3.bak"));
    EXPECT_TRUE(exists(folder + "\\keep-\xC3\xA9.txt"));
    EXPECT_EQ(CSettings::getInstance()->getCleanedSpace(), 12u);
    // The log and the list are ISO 8859-1: what lies beyond it is written as '?'.
    const std::string root = Common::toLatin1(lowered(m_strRoot));
    const std::string latin1Folder = root + "\\zeichnungen-\xC4rger-??";
    EXPECT_EQ(countLines("Scanning !" + Common::toLatin1(folder)), 1u);
    EXPECT_EQ(countLines("File has been deleted: " + latin1Folder +
                         "\\plan-gr\xF6\xDF"
                         "e.bak"),
              1u);
    EXPECT_EQ(countLines("File has been deleted: " + latin1Folder + "\\??.bak"), 1u);
    EXPECT_EQ(undeletedList(), latin1Folder + "\\?.bak\r\n");
}

TEST_F(CleanerTest, WindowsPassCountsThePathLimitInUtf16Units) {
    // "é" is one UTF-16 unit and two UTF-8 bytes: a folder of 255 units (259 with
    // the search pattern) is listed although its UTF-8 form is far longer.
    const std::string base = m_strRoot + "\\deep";
    makeFolder(base);
    ASSERT_LT(Common::utf8ToUtf16(base).size(), 150u) << "the temporary folder is too deep";
    // In folders of at most 100 units: Wine keeps names as UTF-8 on Linux, where a
    // name has at most 255 bytes.
    std::string listed = base;
    while (Common::utf8ToUtf16(listed).size() < 255) {
        const std::size_t left = 255 - Common::utf8ToUtf16(listed).size() - 1;
        listed += "\\";
        for (std::size_t i = 0; i < std::min<std::size_t>(left, 100); ++i)
            listed += "\xC3\xA9";
        if (Common::utf8ToUtf16(listed).size() < 255)
            makeFolder(listed);
    }
    const std::string tooLong = listed + "x";
    ASSERT_EQ(Common::utf8ToUtf16(listed).size(), 255u);
    ASSERT_GT(listed.size(), 300u);
    // Created through the long-path form, which has no MAX_PATH limit.
    for (const std::string& folder : {listed, tooLong}) {
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + wide(folder)).c_str(), nullptr)) << folder;
        const HANDLE file = ::CreateFileW((L"\\\\?\\" + wide(folder + "\\x.bak")).c_str(),
                                          GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::CloseHandle(file);
        setAge("\\\\?\\" + folder + "\\x.bak", kOld);
    }

    runPass(m_strRoot, ".bak");

    EXPECT_EQ(countLines("File has been deleted: "), 1u);
    EXPECT_EQ(countLines("File has been deleted: " + Common::toLatin1(lowered(listed)) + "\\x.bak"),
              1u);
    EXPECT_EQ(countLines("Scanning !" + Common::toLatin1(tooLong)), 1u);
    EXPECT_TRUE(exists("\\\\?\\" + tooLong + "\\x.bak"));
}

} // namespace
} // namespace MW::Test
