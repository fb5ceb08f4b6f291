// norvane-cli as a user runs it: the real executable on real database files.
#include "FbTestUtil.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Quote(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("norvane-cli-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Result Run(const std::vector<std::string>& args, const std::string& env = "LC_ALL=C ISC_USER= ISC_PASSWORD=")
    {
        std::string command = "env " + env + " " + Quote(std::string(NORVANE_BINARY_DIR) + "/norvane-cli");
        for (const auto& a : args)
            command += " " + Quote(a);
        command += " >" + Quote((dir / "stdout").string()) + " 2>" + Quote((dir / "stderr").string());
        int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(dir / "stdout");
        r.err = Slurp(dir / "stderr");
        return r;
    }

    // A database with the change log and two entries of 1 February 2003.
    void MakeLog(TestDatabase& db, const std::string& extra = "")
    {
        db.Exec(Slurp(fs::path(NORVANE_SOURCE_DIR) / "scripts/demo/log-tables.sql") +
                "create table T (ID integer not null primary key, NAME varchar(20), PIC blob);\n"
                "insert into IBE$LOG_TABLES values (1, 'T', 'I', '2003-02-01 10:15:00', 'SYSDBA');\n"
                "insert into IBE$LOG_KEYS values (1, 'ID', '1');\n"
                "insert into IBE$LOG_FIELDS values (1, 'ID', null, '1');\n"
                "insert into IBE$LOG_FIELDS values (1, 'NAME', null, '\xC8\xE2\xE0\xED');\n"
                "insert into IBE$LOG_TABLES values (2, 'T', 'D', '2003-02-01 11:00:00', 'OLGA');\n"
                "insert into IBE$LOG_KEYS values (2, 'ID', '1');\n"
                "insert into IBE$LOG_FIELDS values (2, 'ID', '1', null);\n" +
                extra);
    }

    fs::path dir;
};

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
}

TEST_F(Cli, ScriptsToStdoutAndFiles)
{
    TestDatabase db;
    MakeLog(db);
    Result r = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kReproducing);

    Result undo = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--undo", "--no-comments"});
    EXPECT_EQ(undo.out, "insert into T\n(ID)\nvalues (1);\n\ndelete from T\nwhere ID = 1;\n\n");

    fs::path sql = dir / "out.sql";
    fs::path xml = dir / "out.xml";
    Result files = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--sql", sql.string(),
                        "--xml", xml.string()});
    ASSERT_EQ(files.status, 0) << files.err;
    EXPECT_EQ(files.out, "");
    EXPECT_EQ(Slurp(sql), kReproducing);
    std::string log = Slurp(xml);
    EXPECT_NE(log.find("encoding=\"Windows-1251\""), std::string::npos);
    EXPECT_NE(log.find("\xC8\xE2\xE0\xED"), std::string::npos);

    // The Russian messages reach the comment lines.
    Result ru = Run({"-d", db.Location(), "--from", "2003-02-01", "--to", "2003-02-01", "--language", "ru"});
    EXPECT_NE(ru.out.find("   \xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC: SYSDBA */"), std::string::npos);

    // A period without entries: the no-records text, and success.
    Result none = Run({"-d", db.Location(), "--from", "2003-02-02"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "/* Log has no matched records for specified period */");
}

TEST_F(Cli, FailuresLeaveOutputFilesAlone)
{
    fs::path sql = dir / "kept.sql";
    std::ofstream(sql) << "earlier script";

    Result refused = Run({"-d", (dir / "missing.fdb").string(), "--sql", sql.string()});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.err.rfind("Can't connect to the specified database file.\n", 0), 0u) << refused.err;
    EXPECT_NE(refused.err.find((dir / "missing.fdb").string()), std::string::npos);

    TestDatabase noLog;
    noLog.Exec("create table T (ID integer);\n");
    Result notLogged = Run({"-d", noLog.Location(), "--sql", sql.string()});
    EXPECT_EQ(notLogged.status, 4);
    EXPECT_EQ(notLogged.err.rfind("Extracting log data error.", 0), 0u) << notLogged.err;

    TestDatabase blob;
    MakeLog(blob, "insert into IBE$LOG_FIELDS values (1, 'PIC', null, 'x');\n");
    fs::path xml = dir / "new.xml";
    Result noForm = Run({"-d", blob.Location(), "--sql", sql.string(), "--xml", xml.string()});
    EXPECT_EQ(noForm.status, 5);
    EXPECT_NE(noForm.err.find("Unknown field type.\nTable name: 'T'\nField name: 'PIC'\nField type: 5"),
              std::string::npos);

    EXPECT_EQ(Slurp(sql), "earlier script");
    EXPECT_FALSE(fs::exists(xml));
    // No temporary files are left beside the targets.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);  // kept.sql, stdout, stderr
}
