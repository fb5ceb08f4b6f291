#include "FbTestUtil.h"

#include "core/Charset.h"
#include "db/Tdbmanager.h"
#include "locale/Messages.h"
#include "locale/Regional.h"

#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace NorvaneTest;

bool TestDatabase::ServerConfigured() { return !Env("NORVANE_TEST_SERVER").empty(); }

TestDatabase::TestDatabase(TestEngine aEngine, const std::string& charset, int dialect) : engine(aEngine)
{
    const std::string name = UniqueName() + ".fdb";
    if (engine == TestEngine::Embedded) {
        path = (folder.Path() / name).string();
        location = path;
        user = "SYSDBA";
        password = "masterkey";  // the embedded engine checks no password
    } else {
        if (!ServerConfigured())
            throw std::runtime_error("NORVANE_TEST_SERVER is not set: no server to test against");
        const std::string serverDir = Env("NORVANE_TEST_SERVER_DIR");
        if (serverDir.empty())
            throw std::runtime_error("NORVANE_TEST_SERVER_DIR is not set");
        path = (fs::path(serverDir) / name).string();
        location = Env("NORVANE_TEST_SERVER") + ":" + path;
        user = Env("NORVANE_TEST_USER", "SYSDBA");
        password = Env("NORVANE_TEST_PASSWORD");
    }
    RunIsql(folder.Path(), CreateDatabaseSql(location, user, password, charset, dialect));
}

TestDatabase::~TestDatabase()
{
    std::error_code ignored;
    // The server or the manager may still hold the file open; removing its
    // name is enough, the space goes when the last one closes it.
    fs::remove(path, ignored);
}

std::string TestDatabase::Exec(const std::string& sqlScript)
{
    return RunIsql(folder.Path(), sqlScript + "\ncommit;\n", execCharset, IsqlLogin(location, user, password));
}

void FbEngineTest::SetUp()
{
    if (GetParam() == TestEngine::Server && !TestDatabase::ServerConfigured()) {
        if (Env("CI") == "true")
            FAIL() << "NORVANE_TEST_SERVER is not set under CI: scripts/fbserver.sh must start the server";
        GTEST_SKIP() << "NORVANE_TEST_SERVER is not set (scripts/fbserver.sh starts a server)";
    }
    TDBManager& manager = TDBManager::GetInstance();
    if (manager.IsTransactionActive())
        manager.Rollback();
}

std::string FbEngineName(const ::testing::TestParamInfo<TestEngine>& info)
{
    return info.param == TestEngine::Embedded ? "Embedded" : "Server";
}

void PrintTo(TestEngine engine, std::ostream* out) { *out << (engine == TestEngine::Embedded ? "Embedded" : "Server"); }

std::string Cp1251(const std::string& utf8) { return Encoded(utf8, "WINDOWS-1251"); }

std::string Encoded(const std::string& utf8, const char* encoding)
{
    std::string out, back;
    if (!FromUtf8(utf8, encoding, out))
        throw std::runtime_error(std::string("iconv cannot convert to ") + encoding);
    // A character the encoding cannot hold would come back as '?'.
    if (!ToUtf8(out, encoding, back) || back != utf8)
        throw std::runtime_error(std::string("not a text of ") + encoding + ": " + utf8);
    return out;
}

void FbFixedFormatsTest::SetUp()
{
    FbEngineTest::SetUp();
    const TFormatSettings fixed;  // day.month.year, 24-hour time
    SetFormatSettings(&fixed);
    ResetMessages();
}

void FbFixedFormatsTest::TearDown()
{
    SetFormatSettings(nullptr);
    FbEngineTest::TearDown();
}
