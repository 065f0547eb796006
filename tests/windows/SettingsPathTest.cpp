// The settings file, the log and the undeleted-files list in folders and under
// names outside ASCII. A narrow C runtime call reads such a path in the ANSI code
// page and cannot open the file; a settings file that cannot be opened is
// replaced by the defaults, so that mistake would lose the user's settings.

#include "CLog.h"
#include "CSettings.h"
#include "CUndeletedList.h"
#include "Files.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using MW::CLog;
using MW::CSettings;
using MW::Test::readFile;
using MW::Test::writeFile;
using namespace std::string_literals;

namespace {

// "Einstellungen-Ä-日本" and "設定.mwk".
const std::string kFolderName = "Einstellungen-\xC3\x84-\xE6\x97\xA5\xE6\x9C\xAC";
const std::string kFileName = "\xE8\xA8\xAD\xE5\xAE\x9A.mwk";

// A file holding ScanFolder "D:\Pläne" (ä: E4 00), FileTypes ".bak" and DeleteAge
// 3 (three months), nothing like the defaults.
const std::string kStored = "22 serialization::archive 9 0 0 8 D\0:\0\\\0P\0l\0\xE4\0n\0e\0"
                            " 4 .\0b\0a\0k\0 0  44000.5 3 0  0 0  0  0  0  1 1 0  0  0\r\n"s;

class SettingsPath : public ::testing::Test {
protected:
    void SetUp() override {
        CSettings::destroyInstance();
        CLog::destroyInstance();
        MW::Test::makeFolder(m_folder);
        CLog::getInstance()->open(m_folder + "\\mwservice.log");
    }
    void TearDown() override {
        CSettings::destroyInstance();
        CLog::destroyInstance();
    }
    std::string logText() {
        CLog::getInstance()->flush();
        return readFile(m_folder + "\\mwservice.log");
    }

    MW::Test::TempDir m_dir;
    std::string m_folder = m_dir / kFolderName;
    std::string m_path = m_folder + "\\" + kFileName;
};

TEST_F(SettingsPath, FileOutsideAsciiLoadsAndIsNeverReplacedByTheDefaults) {
    ASSERT_TRUE(CLog::getInstance()->isOpen()) << "the log could not be opened";
    writeFile(m_path, kStored);

    CSettings* settings = CSettings::getInstance();
    settings->loadFromFile(m_path);

    EXPECT_EQ(settings->getScanFolder(), "D:\\Pl\xC3\xA4ne");
    EXPECT_EQ(settings->getFileTypes(), ".bak");
    EXPECT_EQ(settings->getDeleteAge(), MW::eDA_3Month);
    EXPECT_EQ(readFile(m_path), kStored);
    EXPECT_EQ(logText(), "");

    // Saved again in place, in text mode.
    settings->setFileTypes(".dwl");
    settings->saveToFile();
    EXPECT_EQ(readFile(m_path).substr(0, 50), kStored.substr(0, 50));
    EXPECT_NE(readFile(m_path).find(" 4 .\0d\0w\0l\0 0  44000.5 3 "s), std::string::npos);
    EXPECT_TRUE(readFile(m_path).ends_with(" 0  0  0\r\n"));
    EXPECT_EQ(logText(), "");
}

TEST_F(SettingsPath, ReadOnlyFileIsNotOverwritten) {
    writeFile(m_path, kStored);
    MW::Test::setReadOnly(m_path);
    CSettings* settings = CSettings::getInstance();
    settings->loadFromFile(m_path);
    settings->setFileTypes(".dwl");
    settings->saveToFile();
    EXPECT_EQ(readFile(m_path), kStored);
    EXPECT_EQ(logText(), "CSettings::saveToFile(): Settins file not found\r\n");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(MW::Platform::fsPath(m_folder)),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(SettingsPath, LogAndUndeletedListOutsideAsciiAreWritten) {
    MW::logWrite("caf\xC3\xA9");
    CSettings::getInstance()->setUndeletedLog(m_folder + "\\\xC3\xBC"
                                                         "brig.tmp"); // übrig.tmp
    MW::CUndeletedList list;
    list.open(CSettings::getInstance()->getUndeletedLog());
    list.add("c:\\a\xC3\xA9.bak");
    EXPECT_EQ(list.close(), 1);
    EXPECT_EQ(readFile(m_folder + "\\\xC3\xBC"
                                  "brig.tmp"),
              "c:\\a\xE9.bak\r\n");
    EXPECT_EQ(logText(), "caf\xE9\r\n");
}

} // namespace
