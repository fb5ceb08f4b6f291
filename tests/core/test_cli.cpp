// norvane-cli as a user runs it: the real executable on real database files.
#include "FbTestUtil.h"
#include "LogRows.h"
#include "tests/support/Delayproxy.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

using NorvaneTest::ReadFile;

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');  // parameterised names hold slashes
        dir = fs::temp_directory_path() / ("norvane-cli-" + std::to_string(::getpid()) + "-" + name);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Result Run(const std::vector<std::string>& args,
               const std::vector<std::string>& environment = {"LC_ALL=C", "ISC_USER=", "ISC_PASSWORD="})
    {
        std::vector<std::string> command = {std::string(NORVANE_BINARY_DIR) + "/norvane-cli"};
        command.insert(command.end(), args.begin(), args.end());
        NorvaneTest::TProcessOptions options{dir / "stdout", dir / "stderr"};
        options.environment = environment;
        options.keepFiles = true;
        const NorvaneTest::TProcessResult done = NorvaneTest::RunProcess(command, options);
        Result r;
        r.status = done.ExitStatus();
        r.out = done.output;
        r.err = done.errors;
        return r;
    }

    // A database with the change log and two entries of 1 February 2003.
    void MakeLog(TestDatabase& db, const std::string& extra = "", const std::string& logTables = "")
    {
        db.Exec((logTables.empty() ? ReadSource("scripts/demo/log-tables.sql") : logTables) +
                "create table T (ID integer not null primary key, NAME varchar(20), PIC blob);\n"
                "insert into IBE$LOG_TABLES values (1, 'T', 'I', '2003-02-01 10:15:00', 'SYSDBA');\n" +
                LogRows::Key(1, "ID", "'1'") + LogRows::Field(1, "ID", "null", "'1'") +
                LogRows::Field(1, "NAME", "null", "'\xC8\xE2\xE0\xED'") +
                "insert into IBE$LOG_TABLES values (2, 'T', 'D', '2003-02-01 11:00:00', 'OLGA');\n" +
                LogRows::Key(2, "ID", "'1'") + LogRows::Field(2, "ID", "'1'", "null") +
                extra);
    }

    fs::path dir;
};

// Whether a temporary file beside an output (its name and a dot, then
// letters) has statements in it.
bool UnderWay(const fs::path& dir, const std::string& prefix)
{
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind(prefix, 0) == 0 && fs::file_size(entry) > 0)
            return true;
    return false;
}

// Waits for the child to end by itself, up to the seconds given.
bool EndsWithin(NorvaneTest::TProcess& process, int seconds)
{
    for (int waited = 0; waited < seconds * 100 && process.Running(); ++waited)
        ::usleep(10000);
    return !process.Running();
}

const char kReproducing[] =
    "/* 01.02.2003 10:15:00   Login: SYSDBA */\ninsert into T\n(ID, NAME)\nvalues (1, '\xC8\xE2\xE0\xED');\n\n"
    "/* 01.02.2003 11:00:00   Login: OLGA */\ndelete from T\nwhere ID = 1;\n\n";

}  // namespace

TEST_F(Cli, HelpVersionAndBadUsage)
{
    Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: norvane-cli -d LOCATION"), std::string::npos);
    Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("norvane-cli ", 0), 0u);

    EXPECT_EQ(Run({}).status, 2);
    Result badDate = Run({"-d", "x.fdb", "--from", "2003-02-30"});
    EXPECT_EQ(badDate.status, 2);
    EXPECT_NE(badDate.err.find("'2003-02-30' is not a date"), std::string::npos);
    EXPECT_EQ(Run({"-d", "x.fdb", "--to", "yesterday"}).status, 2);
    EXPECT_EQ(Run({"-d", "x.fdb", "--bogus"}).status, 2);
    EXPECT_EQ(Run({"-d", "x.fdb", "--language", "de"}).status, 2);
    EXPECT_NE(Run({"-d", "x.fdb", "--charset", "KLINGON"}).err.find("not a Firebird character set"), std::string::npos);
    EXPECT_NE(Run({"-d", "x.fdb", "--charset", "octets"}).err.find("Firebird refuses it"), std::string::npos);
    EXPECT_EQ(Run({"-d", "x.fdb", "--timeout", "1.5"}).status, 2);
    EXPECT_EQ(Run({"-d", "x.fdb", "--operation", "I,X"}).err,
              "norvane-cli: --operation: 'I,X' is not a list of the operations I, U and D, such as I,U\n"
              "Try 'norvane-cli --help' for more information.\n");
    EXPECT_EQ(Run({"-d", "x.fdb", "--to", "2003-02-01T24:00"}).status, 2);
    EXPECT_EQ(Run({"apply", "-d", "x.fdb", "--target", "y.fdb", "--by-user", ""}).status, 2);
    EXPECT_NE(help.out.find("      --by-user NAME       only the changes this user made"), std::string::npos);

    // One file under two names: as given, through a link, where nothing is
    // yet, and as the standard output that takes the script. The script was
    // lost when the XML log replaced it.
    std::ofstream(dir / "kept.sql") << "kept";
    fs::create_symlink(dir / "kept.sql", dir / "link.sql");
    for (const auto& [sql, xml] : std::vector<std::pair<fs::path, fs::path>>{{dir / "kept.sql", dir / "." / "kept.sql"},
                                                                            {dir / "kept.sql", dir / "link.sql"},
                                                                            {dir / "new.sql", dir / "." / "new.sql"},
                                                                            {"", dir / "stdout"}}) {
        const Result same = Run({"-d", "x.fdb", "--sql", sql.string(), "--xml", xml.string()});
        EXPECT_EQ(same.status, 2) << xml;
        EXPECT_EQ(same.err, "norvane-cli: " +
                                std::string(sql.empty() ? "--xml names standard output, where the script goes"
                                                        : "--sql and --xml name the same file") +
                                "\nTry 'norvane-cli --help' for more information.\n");
    }
    EXPECT_EQ(ReadFile(dir / "kept.sql"), "kept");
    EXPECT_FALSE(fs::exists(dir / "new.sql"));

    Result applyHelp = Run({"apply", "--help"});
    EXPECT_EQ(applyHelp.status, 0);
    EXPECT_EQ(applyHelp.out.rfind("Usage: norvane-cli apply -d SOURCE --target TARGET", 0), 0u) << applyHelp.out;
    EXPECT_NE(Run({"apply", "--target", "y.fdb"}).err.find("the source database is missing"), std::string::npos);
    EXPECT_NE(Run({"apply", "-d", "x.fdb"}).err.find("the target database is missing"), std::string::npos);
    EXPECT_EQ(Run({"apply", "--undo", "-d", "x.fdb", "--target", "y.fdb"}).status, 2);
    EXPECT_EQ(Run({"apply", "-d", "x.fdb", "--target", "y.fdb", "--sql", "z.sql"}).status, 2);
}

TEST_F(Cli, ScriptsToStdoutAndFiles)
{
    TestDatabase db;
    MakeLog(db);
    Result r = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kReproducing);

    // A log of an older shape: text BLOB values, VARCHAR(255) keys.
    TestDatabase earlier;
    MakeLog(earlier, "",
            "create table IBE$LOG_TABLES (ID numeric(18,0) not null primary key, TABLE_NAME varchar(67),"
            " OPERATION varchar(1), DATE_TIME timestamp, USER_NAME varchar(67));\n"
            "create table IBE$LOG_FIELDS (LOG_TABLES_ID numeric(18,0), FIELD_NAME varchar(67),"
            " OLD_VALUE blob sub_type text, NEW_VALUE blob sub_type text);\n"
            "create table IBE$LOG_KEYS (LOG_TABLES_ID numeric(18,0), KEY_FIELD varchar(67), KEY_VALUE varchar(255));\n");
    EXPECT_EQ(Run({"-d", earlier.Location(), "--from", "2003-02-01", "--to", "2003-02-01"}).out, kReproducing);

    Result undo = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--undo", "--no-comments"});
    EXPECT_EQ(undo.out, "insert into T\n(ID)\nvalues (1);\n\ndelete from T\nwhere ID = 1;\n\n");
    Result wrapped = Run({"-d", db.Location(), "--from", "2003-02-01", "--undo", "--no-comments", "--disable-triggers"});
    EXPECT_NE(wrapped.out.find("commit;\n\n" + undo.out + "commit;\n"), std::string::npos) << wrapped.out;

    // Filters: a time of day bounds the period (its end excluded); tables,
    // users and operations pick entries, for the XML log too.
    const std::string inserted = "insert into T\n(ID, NAME)\nvalues (1, '\xC8\xE2\xE0\xED');\n\n";
    const std::string deleted = "delete from T\nwhere ID = 1;\n\n";
    const auto filtered = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"-d", db.Location(), "--no-comments"});
        return Run(more).out;
    };
    EXPECT_EQ(filtered({"--from", "2003-02-01T10:16"}), deleted);
    EXPECT_EQ(filtered({"--to", "2003-02-01T11:00"}), inserted);
    EXPECT_EQ(filtered({"--from", "2003-02-01 10:15", "--to", "2003-02-01T11:00:01"}), inserted + deleted);
    EXPECT_EQ(filtered({"--by-user", "OLGA"}), deleted);
    EXPECT_EQ(filtered({"--by-user", "ANNA", "--by-user", "SYSDBA", "--operation", "i,u", "--undo"}), deleted);
    EXPECT_EQ(filtered({"--table", "T", "--exclude-table", "T"}),
              "/* Log has no matched records for specified period */");
    const fs::path olga = dir / "olga.xml";
    filtered({"--operation", "D", "--table", "T", "--xml", olga.string()});
    const std::string olgaLog = ReadFile(olga);
    EXPECT_EQ(olgaLog.find("<Record"), olgaLog.rfind("<Record"));
    EXPECT_NE(olgaLog.find("OLGA"), std::string::npos) << olgaLog;

    fs::path sql = dir / "out.sql";
    fs::path xml = dir / "out.xml";
    Result files = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--sql", sql.string(),
                        "--xml", xml.string()});
    ASSERT_EQ(files.status, 0) << files.err;
    EXPECT_EQ(files.out, "");
    EXPECT_EQ(ReadFile(sql), kReproducing);
    std::string log = ReadFile(xml);
    EXPECT_NE(log.find("encoding=\"Windows-1251\""), std::string::npos);
    EXPECT_NE(log.find("\xC8\xE2\xE0\xED"), std::string::npos);

    // The Russian messages reach the comment lines.
    Result ru = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--language", "ru"});
    EXPECT_NE(ru.out.find("   \xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC: SYSDBA */"), std::string::npos);
    // One language at a time, the database layer's diagnosis included.
    const std::string missing = (dir / "missing.fdb").string();
    Result refusedRu = Run({"-d", missing, "--language", "ru"});
    EXPECT_EQ(refusedRu.status, 3);
    EXPECT_NE(refusedRu.err.find(Cp1251("Ошибка при попытке подключения к базе данных:\n")), std::string::npos)
        << refusedRu.err;
    EXPECT_NE(refusedRu.err.find(Cp1251("\nРасположение базы данных:\n")), std::string::npos);
    Result refusedEn = Run({"-d", missing, "--language", "en"});
    EXPECT_EQ(refusedEn.status, 3);
    EXPECT_TRUE(std::none_of(refusedEn.err.begin(), refusedEn.err.end(),
                             [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        << refusedEn.err;

    // A period without entries: the no-records text, and success.
    Result none = Run({"-d", db.Location(), "--from", "2003-02-02"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "/* Log has no matched records for specified period */");

    // An entry that cannot be trusted stops the run; asked to, the run
    // leaves it out, names it and says so in its status.
    TestDatabase forged;
    MakeLog(forged, "insert into IBE$LOG_TABLES values (3, 'MON$ATTACHMENTS', 'D', '2003-02-01 12:00:00', 'X');\n" +
                        LogRows::Field(3, "MON$STATE", "'0'", "null"));
    const std::string refused = "Log entry 3, table 'MON$ATTACHMENTS': it is not a user table of the database (a "
                                "system table, a view, a temporary or external table, or the change log's own), so no "
                                "statement is made of it\n";
    Result stopped = Run({"-d", forged.Location(), "--from", "2003-02-01", "--to", "2003-02-01"});
    EXPECT_EQ(stopped.status, 7);
    EXPECT_EQ(stopped.err, refused);
    EXPECT_EQ(stopped.out, "");
    Result skipped = Run({"-d", forged.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--skip-invalid"});
    EXPECT_EQ(skipped.status, 8);
    EXPECT_EQ(skipped.err, "Left out 1 log entry that cannot be trusted:\n  " + refused);
    EXPECT_EQ(skipped.out, kReproducing);

    // Rows of a table without a key found by fewer values than it has
    // columns, as other triggers log them: a warning, and success. With
    // the generators carried, the script ends by moving them.
    TestDatabase keyless;
    MakeLog(keyless, "create table N (A integer, B integer);\ncreate generator G;\nset generator G to 5;\n"
                     "insert into IBE$LOG_TABLES values (3, 'N', 'U', '2003-02-01 12:00:00', 'X');\n" +
                         LogRows::Field(3, "B", "null", "'7'"));
    Result partial = Run({"-d", keyless.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--sync-generators"});
    EXPECT_EQ(partial.status, 0);
    EXPECT_EQ(partial.err, "Warning: 1 statement of the script (table N) find their row by the logged values of a "
                           "table without a key, and the log left out some of its columns: such a statement may "
                           "change another row that is equal in the values logged.\n");
    EXPECT_EQ(Run({"-d", keyless.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--language", "ru"}).err,
              Cp1251("Предупреждение: 1 оператор скрипта (таблица N) ищет свою строку по значениям из журнала для "
                     "таблицы без ключа, а журнал сохранил не все её столбцы: такой оператор может изменить другую "
                     "строку с теми же значениями в этих столбцах.\n"));
    EXPECT_NE(partial.out.find("update N\nset B = 7\nwhere B is null\nrows 1;\n\n/* Each generator below"),
              std::string::npos) << partial.out;
    EXPECT_NE(partial.out.find("    execute procedure raise_to('G', 5);\nend^\n"), std::string::npos);
}

// Ctrl+C or SIGTERM in the middle of a run, on both engines: the run stops
// and says so, the earlier output stays as it was and nothing is left beside
// it. Without the program's own handling the client library shut the
// connection down, and the run ended as if the log were missing.
TEST_F(Cli, InterruptedRunWritesNothing)
{
    for (const TestEngine engine : {TestEngine::Embedded, TestEngine::Server}) {
        if (engine == TestEngine::Server && !TestDatabase::ServerConfigured()) {
            if (NorvaneTest::Env("CI") == "true")
                ADD_FAILURE() << "NORVANE_TEST_SERVER is not set under CI";
            continue;
        }
        TestDatabase db(engine);
        db.Exec(NorvaneTest::LoggedChangesSql(30000));
        const fs::path sql = dir / "out.sql";
        const fs::path xml = dir / "out.xml";
        std::ofstream(sql) << "earlier script";
        for (const int signal : {SIGINT, SIGTERM}) {
            NorvaneTest::TProcess cli({std::string(NORVANE_BINARY_DIR) + "/norvane-cli", "-d", db.Location(), "-u",
                                       db.User(), "-p", db.Password(), "--sql", sql.string(), "--xml", xml.string()},
                                      {dir / "stdout", dir / "stderr", {"LC_ALL=C"}});
            // Under way once statements reach the script's temporary file.
            for (int waited = 0; waited < 60000 && cli.Running() && !UnderWay(dir, "out.sql."); waited += 5)
                ::usleep(5000);
            ASSERT_TRUE(cli.Running()) << "the run ended before it could be interrupted";
            cli.Signal(signal);
            const NorvaneTest::TProcessResult done = cli.Wait();
            EXPECT_EQ(done.ExitStatus(), 128 + signal) << done.errors;
            EXPECT_EQ(done.errors, "Interrupted: no file was written.\n");
            EXPECT_EQ(done.output, "");
            EXPECT_EQ(ReadFile(sql), "earlier script");
            const std::set<fs::path> left{fs::directory_iterator(dir), fs::directory_iterator()};
            EXPECT_EQ(left, std::set<fs::path>{sql});
        }
    }
}

// A server that stops answering, while the connection is made (a port that
// takes it and says nothing) and in the middle of a run. One SIGTERM ends
// the run within seconds and --timeout ends it by itself, as a timeout;
// the earlier output stays as it was and nothing is left beside it. Two
// Ctrl+C while connecting used to remove the pipe given as --xml; the run
// used to wait three minutes for the port, for ever for the silent server.
TEST_F(Cli, ServerThatStopsAnswering)
{
    if (!TestDatabase::ServerConfigured()) {
        if (NorvaneTest::Env("CI") == "true")
            FAIL() << "NORVANE_TEST_SERVER is not set under CI";
        GTEST_SKIP() << "NORVANE_TEST_SERVER is not set (scripts/fbserver.sh starts a server)";
    }
    TestDatabase db(TestEngine::Server);
    db.Exec(NorvaneTest::LoggedChangesSql(30000));
    const fs::path sql = dir / "out.sql";
    const fs::path xml = dir / "out.xml";
    std::ofstream(sql) << "earlier script";
    ASSERT_EQ(mkfifo(xml.c_str(), 0600), 0);
    const std::string interrupted = "Interrupted: no file was written.\n";
    const std::string timedOut = "Timed out: the database did not answer within 2 s\n";
    struct Case {
        bool midRun;
        std::vector<int> signals;
        std::vector<std::string> args;
        int status;
        const std::string& err;
    };
    for (const Case& c : {Case{false, {SIGINT, SIGINT}, {"--xml", xml.string()}, 130, interrupted},
                          Case{false, {SIGTERM}, {}, 143, interrupted}, Case{false, {}, {"--timeout", "2"}, 10, timedOut},
                          Case{true, {SIGTERM}, {}, 143, interrupted}, Case{true, {}, {"--timeout", "2"}, 10, timedOut}}) {
        TDelayProxy proxy(3050, 0);
        if (!c.midRun)
            proxy.Silence();
        std::vector<std::string> command = {std::string(NORVANE_BINARY_DIR) + "/norvane-cli", "-d",
                                            "127.0.0.1/" + std::to_string(proxy.Port()) + ":" + db.Path(), "-u",
                                            db.User(), "-p", db.Password(), "--sql", sql.string()};
        command.insert(command.end(), c.args.begin(), c.args.end());
        NorvaneTest::TProcess cli(command, {dir / "stdout", dir / "stderr", {"LC_ALL=C"}});
        if (c.midRun) {
            for (int waited = 0; waited < 60000 && cli.Running() && !UnderWay(dir, "out.sql."); waited += 5)
                ::usleep(5000);
            ASSERT_TRUE(cli.Running()) << "the run ended before the server went silent";
            proxy.Silence();
        }
        ::usleep(500000);
        for (const int signal : c.signals) {
            cli.Signal(signal);
            ::usleep(200000);
        }
        EXPECT_TRUE(EndsWithin(cli, 20)) << c.status;
        const NorvaneTest::TProcessResult done = cli.Wait();
        EXPECT_EQ(done.ExitStatus(), c.status);
        EXPECT_EQ(done.errors, c.err);
        EXPECT_EQ(ReadFile(sql), "earlier script");
        EXPECT_TRUE(fs::is_fifo(xml));
        EXPECT_EQ((std::set<fs::path>{fs::directory_iterator(dir), fs::directory_iterator()}),
                  (std::set<fs::path>{sql, xml}));
    }
}

// A full disk under the script, under the XML log, under the undo script's
// spool in $TMPDIR: the run stops at its first failed write, says which,
// and ends with exit status 9, nothing replaced and nothing left behind.
// The spool ignored TMPDIR, a failed XML log was read to its end and
// reported as a failure of its own, and a failed script as a change log
// that cannot be read.
TEST_F(Cli, FullDisk)
{
    const fs::path full = dir / "full";
    fs::create_directory(full);
    if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
        if (NorvaneTest::Env("CI") == "true")
            FAIL() << "cannot mount a small file system: " << std::strerror(errno);
        GTEST_SKIP() << "cannot mount a small file system (root only): " << std::strerror(errno);
    }
    const std::unique_ptr<const char, void (*)(const char*)> unmount(full.c_str(),
                                                                     [](const char* at) { ::umount2(at, MNT_DETACH); });
    TestDatabase db;
    db.Exec(NorvaneTest::LoggedChangesSql(1000));
    const fs::path sql = dir / "out.sql";
    std::ofstream(sql) << "earlier script";
    std::ofstream(full / "out.sql") << "earlier";
    const std::string noSpace = ": No space left on device\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--sql", (full / "out.sql").string()}, "Cannot write " + (full / "out.sql").string() + noSpace},
        {{"--sql", sql.string(), "--xml", (full / "out.xml").string()},
         "Cannot write " + (full / "out.xml").string() + noSpace},
        {{"--undo", "--sql", sql.string()}, "Cannot write a temporary file in " + full.string() + noSpace}};
    for (const auto& [args, err] : cases) {
        std::vector<std::string> command = {"-d", db.Location()};
        command.insert(command.end(), args.begin(), args.end());
        const Result r = Run(command, {"LC_ALL=C", "TMPDIR=" + full.string()});
        EXPECT_EQ(r.status, 9) << r.err;
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(ReadFile(sql), "earlier script");
        EXPECT_EQ(ReadFile(full / "out.sql"), "earlier");
        EXPECT_EQ(std::distance(fs::directory_iterator(full), fs::directory_iterator()), 1);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
    }
}

// With standard output and standard error closed, the program's own files
// took their numbers: its messages went into the signal watch's pipe, which
// read them as signals (exit status 225).
TEST_F(Cli, ClosedStandardStreams)
{
    TestDatabase db;
    MakeLog(db);
    const fs::path sql = dir / "out.sql";
    auto closed = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >&- 2>&-",
                                   std::string(NORVANE_BINARY_DIR) + "/norvane-cli"});
        return NorvaneTest::RunProcess(args, {dir / "stdout", dir / "stderr", {"LC_ALL=C"}}).ExitStatus();
    };
    EXPECT_EQ(closed({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--sql", sql.string()}), 0);
    EXPECT_EQ(ReadFile(sql), kReproducing);
    EXPECT_EQ(closed({"-d", (dir / "missing.fdb").string(), "--sql", sql.string()}), 3);
    // The script has nowhere to go.
    EXPECT_EQ(closed({"-d", db.Location()}), 9);
    EXPECT_EQ(closed({"--version"}), 9);
}

// --state: each entry goes into one script only, and the file says which
// went; a file of another source, or no state file at all, is refused.
TEST_F(Cli, StateFileWritesEachEntryOnce)
{
    TestDatabase db;
    MakeLog(db);
    const std::string state = (dir / "day.state").string();
    const std::vector<std::string> run = {"-d", db.Location(), "--no-comments", "--state", state};
    Result first = Run(run);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "insert into T\n(ID, NAME)\nvalues (1, '\xC8\xE2\xE0\xED');\n\ndelete from T\nwhere ID = 1;\n\n");
    const std::string written = ReadFile(state);
    EXPECT_EQ(written, "# norvane-cli state: the log entries written so far, by log id\nsource=" +
                           fs::path(db.Path()).filename().string() +
                           "\nfloor=-9223372036854775808\nfinal=-9223372036854775808\npromise=0 0\nreceived=1 2\n");
    EXPECT_EQ(Run(run).out, "/* Log has no matched records for specified period */");
    EXPECT_EQ(ReadFile(state), written);

    db.Exec(LogRows::Entry(3, "T", "I", "2003-02-01 09:00:00") + LogRows::Key(3, "ID", "'5'") +
            LogRows::Field(3, "ID", "null", "'5'"));
    EXPECT_EQ(Run(run).out, "insert into T\n(ID)\nvalues (5);\n\n");
    EXPECT_NE(ReadFile(state).find("received=1 3\n"), std::string::npos);

    Result other = Run({"-d", db.Location(), "--state", state, "--source-name", "other.fdb"});
    EXPECT_EQ(other.status, 12);
    EXPECT_NE(other.err.find("belongs to another source than 'other.fdb'"), std::string::npos) << other.err;
    Result noState = Run({"-d", db.Location(), "--state", (dir / "stdout").string()});
    EXPECT_EQ(noState.status, 12);
    EXPECT_EQ(noState.out, "");

    // An entry a filter leaves out is not noted: a run without it writes it.
    const std::string split = (dir / "split.state").string();
    EXPECT_EQ(Run({"-d", db.Location(), "--no-comments", "--state", split, "--by-user", "OLGA"}).out,
              "delete from T\nwhere ID = 1;\n\n");
    EXPECT_NE(ReadFile(split).find("\nreceived=2 2\n"), std::string::npos) << ReadFile(split);
    EXPECT_EQ(Run({"-d", db.Location(), "--no-comments", "--state", split}).out,
              "insert into T\n(ID, NAME)\nvalues (1, '\xC8\xE2\xE0\xED');\n\ninsert into T\n(ID)\nvalues (5);\n\n");
    EXPECT_NE(ReadFile(split).find("\nreceived=1 3\n"), std::string::npos) << ReadFile(split);

    // So is one of apply: the sister has none of the rows, so OLGA's delete
    // alone conflicts; the insert of 09:00 goes alone, the rest after it.
    TestDatabase twin;
    twin.Exec("create table T (ID integer not null primary key, NAME varchar(20), PIC blob);\n");
    const auto apply = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"apply", "-d", db.Location(), "--target", twin.Location()});
        return Run(more);
    };
    EXPECT_EQ(apply({"--by-user", "OLGA"}).status, 11);
    const Result early = apply({"--operation", "I", "--to", "2003-02-01T10:00"});
    EXPECT_EQ(early.out.rfind("Applied 1 log entry of ", 0), 0u) << early.out << early.err;
    const Result rest = apply({});
    EXPECT_EQ(rest.out.rfind("Applied 2 log entries of ", 0), 0u) << rest.out << rest.err;
    EXPECT_NE(twin.Exec("set list on;\nselect ID from T;\n").find("ID                              5"),
              std::string::npos);
}

// norvane-cli apply end to end, on both engines: a conflict exits 11 and
// says why; Ctrl+C rolls back and puts the triggers back; kill -9 leaves the
// rows as they were and the next apply completes the work, once.
TEST_F(Cli, ApplyThroughInterruptionsAndKill)
{
    for (const TestEngine engine : {TestEngine::Embedded, TestEngine::Server}) {
        if (engine == TestEngine::Server && !TestDatabase::ServerConfigured()) {
            if (NorvaneTest::Env("CI") == "true")
                ADD_FAILURE() << "NORVANE_TEST_SERVER is not set under CI";
            continue;
        }
        TestDatabase source(engine), target(engine);
        source.Exec(NorvaneTest::LoggedChangesSql(30000));
        // A sister with a log of its own: triggers to switch off and on.
        target.Exec(ReadSource("scripts/demo/log-tables.sql") + ReadSource("scripts/demo/schema.sql") +
                    "insert into GOODS (ID, TITLE) values (1, 'Here first');\ncommit;\n" +
                    ReadSource("scripts/demo/log-triggers.sql"));
        const std::vector<std::string> apply = {std::string(NORVANE_BINARY_DIR) + "/norvane-cli", "apply", "-d",
                                                source.Location(), "-u", source.User(), "-p", source.Password(),
                                                "--target", target.Location()};
        const std::string goods = "set list on;\nselect * from GOODS order by ID;\n"
                                  "select count(*) as OFF from RDB$TRIGGERS where RDB$TRIGGER_INACTIVE = 1;\n";
        const std::string before = target.Exec(goods);
        Result conflict = Run(std::vector<std::string>(apply.begin() + 1, apply.end()));
        EXPECT_EQ(conflict.status, 11) << conflict.err;
        EXPECT_EQ(conflict.err.rfind("Conflict at log entry 1, an insert into GOODS (ID = 1): the target refuses it", 0),
                  0u) << conflict.err;
        EXPECT_EQ(conflict.out, "");
        std::vector<std::string> inRussian(apply.begin() + 1, apply.end());
        inRussian.insert(inRussian.end(), {"--language", "ru"});
        EXPECT_EQ(Run(inRussian).err.rfind(Cp1251("Конфликт на записи журнала 1, вставка в GOODS (ID = 1): целевая "
                                                  "база данных его отвергает: "),
                                           0),
                  0u);
        target.Exec("delete from GOODS;\ndelete from IBE$LOG_KEYS;\ndelete from IBE$LOG_FIELDS;\n"
                    "delete from IBE$LOG_TABLES;\n");
        const std::string empty = target.Exec(goods);

        // Under way once the target's file grows with the rows applied.
        auto applyUntil = [&](int signal) {
            const auto size = fs::file_size(target.Path());
            NorvaneTest::TProcess cli(apply, {dir / "stdout", dir / "stderr", {"LC_ALL=C"}});
            for (int waited = 0; waited < 60000 && cli.Running() && fs::file_size(target.Path()) < size + 512 * 1024;
                 waited += 2)
                ::usleep(2000);
            EXPECT_TRUE(cli.Running()) << "the apply ended before it could be stopped";
            cli.Signal(signal);
            return cli.Wait();
        };
        const NorvaneTest::TProcessResult interrupted = applyUntil(SIGINT);
        EXPECT_EQ(interrupted.ExitStatus(), 130) << interrupted.errors;
        EXPECT_EQ(interrupted.errors, "Interrupted: nothing was applied.\n");
        EXPECT_EQ(target.Exec(goods), empty);
        EXPECT_EQ(applyUntil(SIGKILL).TermSignal(), SIGKILL);
        const std::string killed = target.Exec(goods);
        EXPECT_EQ(killed.substr(0, killed.find("OFF")), empty.substr(0, empty.find("OFF")));

        Result completed = Run(std::vector<std::string>(apply.begin() + 1, apply.end()));
        EXPECT_EQ(completed.status, 0) << completed.err;
        EXPECT_NE(completed.out.find("Applied 30000 log entries of '" + fs::path(source.Path()).filename().string() +
                                     "'"),
                  std::string::npos) << completed.out;
        EXPECT_NE(completed.out.find("3 triggers that an earlier run had left off were switched on first."),
                  std::string::npos) << completed.out;
        EXPECT_EQ(Run(std::vector<std::string>(apply.begin() + 1, apply.end())).out.rfind("Applied no entries", 0), 0u);
        EXPECT_EQ(Run(inRussian).out, Cp1251("Ничего не применено: в периоде не осталось записей для применения ('") +
                                          fs::path(source.Path()).filename().string() + "').\n");
        const std::string applied = target.Exec(goods);
        const std::string original = source.Exec(goods);
        EXPECT_EQ(applied, original);
        EXPECT_NE(applied.find("OFF                             0"), std::string::npos);
        EXPECT_NE(applied, before);
    }
}

// Output names that are not plain files: a link stays a link and the file
// it leads to gets the script; a pipe (as /dev/stdout may be) gets the
// script through itself and stays a pipe, and only from a run that
// succeeded. A pipe nobody reads holds the run only until --timeout or a
// signal.
TEST_F(Cli, OutputsThroughLinksAndPipes)
{
    TestDatabase db;
    MakeLog(db);
    const fs::path real = dir / "real.sql";
    const fs::path link = dir / "link.sql";
    std::ofstream(real) << "earlier script";
    fs::create_symlink(real, link);
    const fs::path pipe = dir / "pipe.xml";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Open for reading first and without waiting, so that the writer finds
    // a reader and the pipe's buffer holds the log until it is read here.
    const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    Result r = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--sql", link.string(), "--xml",
                    pipe.string()});
    std::string piped;
    char buffer[4096];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;)
        piped.append(buffer, static_cast<size_t>(n));
    close(reader);

    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), kReproducing);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(piped.rfind("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>", 0), 0u) << piped;
    EXPECT_NE(piped.find("\xC8\xE2\xE0\xED"), std::string::npos);
    // Nothing else was left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);

    // A run that fails at its third entry: its reader used to get the
    // statements of the first two.
    TestDatabase failing;
    MakeLog(failing, "insert into IBE$LOG_TABLES values (3, 'T', '', '2003-02-01 12:00:00', 'SYSDBA');\n");
    const int failedReader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(failedReader, 0);
    Result failed = Run({"-d", failing.Location(), "--sql", pipe.string()});
    EXPECT_EQ(failed.status, 7) << failed.err;
    EXPECT_EQ(read(failedReader, buffer, sizeof buffer), 0);
    close(failedReader);

    // Nobody opens the pipe for reading.
    Result waited = Run({"-d", db.Location(), "--sql", pipe.string(), "--timeout", "1"});
    EXPECT_EQ(waited.status, 10);
    EXPECT_EQ(waited.err, "Timed out: nothing was read from " + pipe.string() + " for 1 s\n");
    NorvaneTest::TProcess cli({std::string(NORVANE_BINARY_DIR) + "/norvane-cli", "-d", db.Location(), "--sql",
                               pipe.string()},
                              {dir / "stdout", dir / "stderr", {"LC_ALL=C"}});
    ::usleep(500000);
    cli.Signal(SIGTERM);
    EXPECT_TRUE(EndsWithin(cli, 10));
    const NorvaneTest::TProcessResult ended = cli.Wait();
    EXPECT_EQ(ended.ExitStatus(), 128 + SIGTERM);
    EXPECT_EQ(ended.errors, "Interrupted: no file was written.\n");
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// Bad input, end to end: for each, the exact text on standard error, the
// exit status, and the output files of an earlier run left as they were,
// with no temporary file beside them.
namespace {

const std::string kNoConnect = "Can't connect to the specified database file.\n"
                               "Cannot connect to the database:\n";
const std::string kLocationHeading = "\nDatabase location:\n";
const std::string kNoLog = "Extracting log data error. Make shure Your database has IB Expert Log structures.\n"
                           "The query failed:\n";

std::string ServerLocation(const std::string& file)
{
    return std::string(std::getenv("NORVANE_TEST_SERVER")) + ":" + std::getenv("NORVANE_TEST_SERVER_DIR") + "/" + file;
}

// What one bad input makes of a run.
struct Outcome {
    std::vector<std::string> args;  // after the database and the two output files
    int status;
    std::string err;                // the whole of standard error, or its start when errStart is set
    bool errStart = false;
    std::vector<std::string> errHolds = {};  // texts standard error holds besides
};

using Databases = std::vector<std::unique_ptr<TestDatabase>>;

struct BadInput {
    std::string name;
    bool needsServer;
    // Makes what the case needs under the folder and in keep; returns the
    // database location and the outcome.
    std::function<std::pair<std::string, Outcome>(const fs::path& dir, Databases& keep)> make;
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

// A database with the change log whose tables the extra SQL (in its set) changes.
std::string LogDatabase(Databases& keep, const std::string& sql, const std::string& charset = "WIN1251")
{
    keep.push_back(std::make_unique<TestDatabase>(TestEngine::Embedded, charset));
    keep.back()->SetExecCharset(charset);
    keep.back()->Exec(sql);
    return keep.back()->Location();
}

std::string LogTables() { return ReadSource("scripts/demo/log-tables.sql"); }

const char kTable[] = "create table T (ID integer not null primary key, NAME varchar(20), PIC integer[4]);\n";

class CliBadInput : public Cli, public ::testing::WithParamInterface<BadInput> {};

}  // namespace

TEST_P(CliBadInput, ClearMessageAndOutputUntouched)
{
    const BadInput& input = GetParam();
    if (input.needsServer && !TestDatabase::ServerConfigured()) {
        if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")
            FAIL() << "NORVANE_TEST_SERVER is not set under CI";
        GTEST_SKIP() << "NORVANE_TEST_SERVER is not set (scripts/fbserver.sh starts a server)";
    }
    const fs::path sql = dir / "kept.sql";
    const fs::path xml = dir / "kept.xml";
    std::ofstream(sql) << "earlier script";
    std::ofstream(xml) << "earlier log";
    Databases databases;
    auto [location, expected] = input.make(dir, databases);
    const std::set<fs::path> before{fs::directory_iterator(dir), fs::directory_iterator()};

    std::vector<std::string> args = {"-d", location, "--sql", sql.string(), "--xml", xml.string()};
    args.insert(args.end(), expected.args.begin(), expected.args.end());
    const Result r = Run(args);

    EXPECT_EQ(r.status, expected.status) << r.err;
    if (expected.errStart)
        EXPECT_EQ(r.err.substr(0, expected.err.size()), expected.err) << r.err;
    else
        EXPECT_EQ(r.err, expected.err);
    for (const std::string& text : expected.errHolds)
        EXPECT_NE(r.err.find(text), std::string::npos) << "no \"" << text << "\" in\n" << r.err;
    EXPECT_EQ(r.out, "");

    EXPECT_EQ(ReadFile(sql), "earlier script");
    EXPECT_EQ(ReadFile(xml), "earlier log");
    std::set<fs::path> after{fs::directory_iterator(dir), fs::directory_iterator()};
    after.erase(dir / "stdout");
    after.erase(dir / "stderr");
    EXPECT_EQ(after, before) << "files were left beside the outputs";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadInput,
    ::testing::Values(
        BadInput{"MissingDatabase", false,
                 [](const fs::path& dir, Databases&) {
                     const std::string path = (dir / "missing.fdb").string();
                     return std::make_pair(path, Outcome{{}, 3,
                                                         kNoConnect + "I/O error during \"open\" operation for file \"" +
                                                             path + "\"\nError while trying to open file\n"
                                                             "No such file or directory" + kLocationHeading + path + "\n"});
                 }},
        BadInput{"DirectoryAsDatabase", false,
                 [](const fs::path& dir, Databases&) {
                     const std::string path = (dir / "folder.fdb").string();
                     fs::create_directory(path);
                     return std::make_pair(path, Outcome{{}, 3,
                                                         kNoConnect + "I/O error during \"read\" operation for file \"" +
                                                             path + "\"\nError while trying to read from file\n"
                                                             "Is a directory" + kLocationHeading + path + "\n"});
                 }},
        BadInput{"RandomBytesAsDatabase", false,
                 [](const fs::path& dir, Databases&) {
                     const std::string path = (dir / "noise.fdb").string();
                     std::mt19937 rng(99);
                     std::string noise(64 * 1024, '\0');
                     for (char& c : noise)
                         c = static_cast<char>(rng());
                     std::ofstream(path, std::ios::binary) << noise;
                     return std::make_pair(path, Outcome{{}, 3,
                                                         kNoConnect + "file " + path + " is not a valid database" +
                                                             kLocationHeading + path + "\n"});
                 }},
        BadInput{"WrongPassword", true,
                 [](const fs::path&, Databases&) {
                     const std::string location = ServerLocation("none.fdb");
                     return std::make_pair(
                         location, Outcome{{"-u", "SYSDBA", "-p", "not the password"}, 3,
                                           kNoConnect + "Your user name and password are not defined. Ask your database "
                                                        "administrator to set up a Firebird login." +
                                               kLocationHeading + location + "\n"});
                 }},
        BadInput{"ServerDown", false,
                 [](const fs::path&, Databases&) {
                     // Nothing listens on port 1.
                     const std::string location = "127.0.0.1/1:/var/lib/none.fdb";
                     return std::make_pair(location, Outcome{{}, 3,
                                                             kNoConnect + "Unable to complete network request to host "
                                                                          "\"127.0.0.1\".\nFailed to establish a "
                                                                          "connection." + kLocationHeading + location +
                                                                 "\n"});
                 }},
        BadInput{"NoLogTables", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(LogDatabase(keep, kTable),
                                           Outcome{{}, 4,
                                                   kNoLog + "Dynamic SQL Error\nSQL error code = -204\nTable unknown\n"
                                                            "IBE$LOG_TABLES\n",
                                                   true});
                 }},
        BadInput{"LogEntriesWithoutUserColumn", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable + "alter table IBE$LOG_TABLES drop USER_NAME;\n"),
                         Outcome{{}, 4, kNoLog + "Dynamic SQL Error\nSQL error code = -206\nColumn unknown\n", true,
                                 {"USER_NAME\n"}});
                 }},
        BadInput{"LogFieldsWithoutOldValue", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable + "alter table IBE$LOG_FIELDS drop OLD_VALUE;\n"
                                                                  "insert into IBE$LOG_TABLES values (1, 'T', 'I', "
                                                                  "'2003-02-01 10:15:00', 'SYSDBA');\n"),
                         Outcome{{}, 4, kNoLog + "Dynamic SQL Error\nSQL error code = -206\nColumn unknown\n", true,
                                 {"OLD_VALUE\n"}});
                 }},
        BadInput{"NullOperation", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (1, 'T', null, "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n"),
                         Outcome{{}, 7, "Log entry 1, table 'T': it has no operation letter, so no statement is "
                                        "made of it\n"});
                 }},
        BadInput{"EmptyOperation", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (1, 'T', '', "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n"),
                         Outcome{{}, 7, "Log entry 1, table 'T': it has no operation letter, so no statement is "
                                        "made of it\n"});
                 }},
        BadInput{"ValueWithoutSqlForm", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (1, 'T', 'I', "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n" +
                                               LogRows::Key(1, "ID", "'1'") + LogRows::Field(1, "PIC", "null", "'x'")),
                         Outcome{{}, 5, "Unknown field type.\nTable name: 'T'\nField name: 'PIC'\nField type: 9\n"
                                                  "SQL type: ARRAY\n"});
                 }},
        BadInput{"ValueNotLoggedCompletely", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (12, 'T', 'D', "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n"
                                               "insert into IBE$LOG_FIELDS (LOG_TABLES_ID, FIELD_NAME, INCOMPLETE)"
                                               " values (12, 'NAME', 'Y');\n" + LogRows::Key(12, "ID", "'1'")),
                         Outcome{{}, 5, "Log entry 12, table 'T', field 'NAME': the value was not logged "
                                        "completely, so no script can repeat or undo this change\n"});
                 }},
        BadInput{"ValueOutsideTheCharacterSet", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (1, 'T', 'I', "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n" +
                                               LogRows::Field(1, "NAME", "null", "'\xCE\xB1 \xF0\x9F\x98\x80'"),
                                     "UTF8"),
                         Outcome{{"--charset", "win1252"}, 6,
                                 "A logged value cannot be read in the character set WIN1252: run with --charset UTF8 "
                                 "(or the database's own character set) to read it.\n"
                                 "The query failed:\n",
                                 true, {"Cannot transliterate character between character sets\n"}});
                 }},
        BadInput{"OutputUnderARegularFile", false,
                 [](const fs::path& dir, Databases& keep) {
                     // Even root cannot make a file below a file.
                     const std::string target = (dir / "kept.sql" / "out.sql").string();
                     return std::make_pair(LogDatabase(keep, LogTables() + kTable),
                                           Outcome{{"--sql", target}, 9,
                                                   "Cannot create file \"" + target + "\". Not a directory\n"});
                 }},
        BadInput{"OutputInAMissingFolder", false,
                 [](const fs::path& dir, Databases& keep) {
                     const std::string target = (dir / "no" / "such" / "log.xml").string();
                     return std::make_pair(LogDatabase(keep, LogTables() + kTable),
                                           Outcome{{"--xml", target}, 9,
                                                   "Cannot create file \"" + target + "\". No such file or directory\n"});
                 }},
        BadInput{"OutputIsAFolder", false,
                 [](const fs::path& dir, Databases& keep) {
                     // The script is ready first; the folder must not let it
                     // replace kept.sql on its own.
                     const std::string target = (dir / "folder.xml").string();
                     fs::create_directory(target);
                     return std::make_pair(LogDatabase(keep, LogTables() + kTable),
                                           Outcome{{"--xml", target}, 9,
                                                   "Cannot create file \"" + target + "\". Is a directory\n"});
                 }},
        BadInput{"OutputToAFullDevice", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(LogDatabase(keep, LogTables() + kTable),
                                           Outcome{{"--sql", "/dev/full"}, 9,
                                                   "Cannot write /dev/full: No space left on device\n"});
                 }},
        // One language at a time: the same failures told in Russian.
        BadInput{"RussianEntryThatCannotBeTrusted", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (1, 'T', 'X', "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n"),
                         Outcome{{"--language", "ru"}, 7,
                                 Cp1251("Запись журнала 1, таблица 'T': её буква операции 'X' — не I, не U и не D, "
                                        "поэтому оператор по ней не создаётся\n")});
                 }},
        BadInput{"RussianValueWithoutSqlForm", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(
                         LogDatabase(keep, LogTables() + kTable +
                                               "insert into IBE$LOG_TABLES values (1, 'T', 'I', "
                                               "'2003-02-01 10:15:00', 'SYSDBA');\n" +
                                               LogRows::Key(1, "ID", "'1'") + LogRows::Field(1, "PIC", "null", "'x'")),
                         Outcome{{"--language", "ru"}, 5,
                                 Cp1251("Неизвестный тип поля.\nТаблица: 'T'\nПоле: 'PIC'\nКод типа поля: 9\n"
                                        "Тип SQL: ARRAY\n")});
                 }},
        BadInput{"RussianOutputInAMissingFolder", false,
                 [](const fs::path& dir, Databases& keep) {
                     const std::string target = (dir / "no" / "log.xml").string();
                     return std::make_pair(LogDatabase(keep, LogTables() + kTable),
                                           Outcome{{"--xml", target, "--language", "ru"}, 9,
                                                   Cp1251("Не удаётся создать файл \"") + target +
                                                       "\". No such file or directory\n"});
                 }},
        BadInput{"RussianOutputToAFullDevice", false,
                 [](const fs::path&, Databases& keep) {
                     return std::make_pair(LogDatabase(keep, LogTables() + kTable),
                                           Outcome{{"--sql", "/dev/full", "--language", "ru"}, 9,
                                                   Cp1251("Не удаётся записать в /dev/full: No space left on device\n")});
                 }},
        BadInput{"DateWithLetters", false,
                 [](const fs::path& dir, Databases&) {
                     return std::make_pair((dir / "x.fdb").string(),
                                           Outcome{{"--from", "2003-O1-01"}, 2,
                                                   "norvane-cli: --from: '2003-O1-01' is not a date in the form "
                                                   "YYYY-MM-DD, nor one with a time of day in the form "
                                                   "YYYY-MM-DDTHH:MM\nTry 'norvane-cli --help' for more "
                                                   "information.\n"});
                 }}),
    [](const ::testing::TestParamInfo<BadInput>& input) { return input.param.name; });
