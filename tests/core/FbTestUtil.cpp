#include "FbTestUtil.h"

#include "db/Tdbmanager.h"
#include "engine/Cfieldvalue.h"
#include "locale/Messages.h"
#include "locale/Regional.h"

#include <fcntl.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
// SQL string literals (paths, user names) are quoted as the scripts quote values.
using NorvaneImpl::Quoted;

namespace {

std::string Env(const char* name, const std::string& fallback = {})
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

// A name no other test process uses at the same time.
std::string UniqueName()
{
    static std::atomic<int> counter{0};
    std::random_device random;
    return "t" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" + std::to_string(random() % 100000);
}

// Runs isql-fb with the arguments and the script, its output (standard error
// merged) into a file beside the script. Throws with the output when isql
// reports a failure.
std::string RunIsql(const fs::path& folder, std::vector<std::string> args, const std::string& script,
                    const std::string& charset = "WIN1251")
{
    const std::string name = UniqueName();
    const fs::path input = folder / (name + ".sql");
    const fs::path output = folder / (name + ".out");
    WriteFile(input, script);

    args.insert(args.begin(), {"isql-fb", "-q", "-bail", "-ch", charset, "-i", input.string()});
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "isql-fb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot run isql-fb");
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::string printed = ReadFile(output);
    fs::remove(input);
    fs::remove(output);
    // isql sets a failing exit code on an error in the script; some messages
    // come with code 0 when -bail stops it, so the text is checked too.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || printed.find("Statement failed") != std::string::npos ||
        printed.find("SQLSTATE") != std::string::npos)
        throw std::runtime_error("isql-fb failed:\n" + printed + "\nscript:\n" + script);
    return printed;
}

}  // namespace

bool TestDatabase::ServerConfigured() { return !Env("NORVANE_TEST_SERVER").empty(); }

TestDatabase::TestDatabase(TestEngine engine, const std::string& charset, int dialect) : engine(engine)
{
    std::string pattern = (fs::temp_directory_path() / "norvane-db-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    folder = pattern;

    const std::string name = UniqueName() + ".fdb";
    if (engine == TestEngine::Embedded) {
        path = (fs::path(folder) / name).string();
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
    try {
        RunIsql(folder, {},
                "set sql dialect " + std::to_string(dialect) + ";\ncreate database " + Quoted(location) + " user " + Quoted(user) + " password " + Quoted(password) +
                    " page_size 8192 default character set " + charset + ";\n");
    } catch (...) {
        fs::remove_all(folder);
        throw;
    }
}

TestDatabase::~TestDatabase()
{
    std::error_code ignored;
    // The server or the manager may still hold the file open; removing its
    // name is enough, the space goes when the last one closes it.
    fs::remove(path, ignored);
    fs::remove_all(folder, ignored);
}

std::string TestDatabase::Exec(const std::string& sqlScript)
{
    return RunIsql(folder, {"-user", user, "-password", password, location}, sqlScript + "\ncommit;\n", execCharset);
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
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert to ") + encoding);
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1))
        throw std::runtime_error(std::string("not a text of ") + encoding + ": " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

std::string ReadSource(const std::string& relative)
{
    const fs::path file = fs::path(NORVANE_SOURCE_DIR) / relative;
    if (!fs::exists(file))
        throw std::runtime_error("cannot read " + relative);
    return ReadFile(file);
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
