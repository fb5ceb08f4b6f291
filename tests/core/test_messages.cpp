// The message catalogue and its language files, on real files.
#include "core/IniFile.h"
#include "engine/Clogrecord.h"
#include "locale/Messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir()
    {
        path = fs::temp_directory_path() / ("norvane-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const std::string& name) const { return (path / name).string(); }

private:
    static inline int counter = 0;
    fs::path path;
};

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override { ResetMessages(); }
    void TearDown() override { ResetMessages(); }
    TempDir dir;
};

}  // namespace

TEST_F(Catalogue, BuiltInDefaults)
{
    EXPECT_EQ(msgNoConnect, "Can't connect to the specified database file.");
    EXPECT_EQ(msgNoLog, "Extracting log data error. Make shure Your database has IB Expert Log structures.");
    EXPECT_EQ(msgUnforeseen, "Unforeseen exception");
    EXPECT_EQ(msgNoMatchedRecords, "/* Log has no matched records for specified period */");
    EXPECT_EQ(msgWelcome, "Welcome to Norvane!!! Here comes resulting script");
    EXPECT_EQ(msgUnknownOperation, "Unknown operation symbol");
    EXPECT_EQ(msgUser, "Login");
}

TEST_F(Catalogue, LoadChangesOnlyTheKeysPresentInAnyCase)
{
    std::string path = dir.File("Locale.ini");
    Write(path, "[Forms]\r\nfrmGUI=x\r\n[MESSAGES]\r\nMSGUSER=\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC\r\n"
                "msgNoLog=a=b=c\r\nmsgWelcome=\r\n");
    LoadMessages(path);
    EXPECT_EQ(msgUser, "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC");
    EXPECT_EQ(msgNoLog, "a=b=c");
    EXPECT_EQ(msgWelcome, "");
    EXPECT_EQ(msgNoConnect, "Can't connect to the specified database file.");

    // A later file without msgUser keeps the text loaded before.
    std::string english = dir.File("English.ini");
    Write(english, "[Messages]\r\nmsgNoMatchedRecords=Log has no matched records\r\n");
    LoadMessages(english);
    EXPECT_EQ(msgUser, "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC");
    EXPECT_EQ(msgNoMatchedRecords, "Log has no matched records");

    LoadMessages(dir.File("missing.ini"));
    EXPECT_EQ(msgNoMatchedRecords, "Log has no matched records");

    // The comment line and the unknown-letter error read the current texts.
    NorvaneImpl::CLogRecord r('Q', true, "T", "SYSDBA", "d", {}, {});
    try {
        r.GetUndoStatement();
        FAIL();
    } catch (const CEUnknownActionLetter& e) {
        EXPECT_STREQ(e.what(), "Unknown operation symbol: Q");
    }
}

TEST_F(Catalogue, ExportKeepsOtherContentAndWritesCrLf)
{
    std::string path = dir.File("English.ini");
    Write(path, "[Forms]\r\nfrmGUI=Norvane\r\n[Messages]\r\nmsgUser=old\r\nmsgExtra=kept\r\n");
    ExportMessages(path);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("forms", "FRMGUI", ""), "Norvane");
    EXPECT_EQ(ini.ReadString("Messages", "msgUser", ""), "Login");
    EXPECT_EQ(ini.ReadString("Messages", "msgExtra", ""), "kept");
    EXPECT_EQ(ini.ReadString("Messages", "msgNoLog", ""), msgNoLog);
    std::string text = Read(path);
    EXPECT_NE(text.find("msgNoConnect=Can't connect to the specified database file.\r\n"), std::string::npos);
    for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        ASSERT_EQ(text[i - 1], '\r');
}

TEST(IniFile, TypedValuesAndDefaults)
{
    TempDir dir;
    std::string path = dir.File("x.ini");
    {
        TIniFile ini(path, 0600);
        EXPECT_EQ(ini.ReadString("DB Access", "User name", "SYSDBA"), "SYSDBA");
        ini.WriteString("DB Access", "User name", "ALICE");
        ini.WriteBool("Settings", "Reproducing", false);
        ini.WriteInteger("Form", "Top", -5);
    }
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    Write(path, Read(path) + "[Odd]\r\nNum=12x\r\nFlag=abc\r\nTwo=2\r\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("db access", "user NAME", ""), "ALICE");
    EXPECT_FALSE(ini.ReadBool("Settings", "Reproducing", true));
    EXPECT_EQ(ini.ReadInteger("Form", "Top", 0), -5);
    EXPECT_EQ(ini.ReadInteger("Odd", "Num", 7), 7);
    EXPECT_TRUE(ini.ReadBool("Odd", "Flag", true));
    EXPECT_TRUE(ini.ReadBool("Odd", "Two", false));
}
