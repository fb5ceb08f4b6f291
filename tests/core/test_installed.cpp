// Norvane as a package installs it: `cmake --install` into a temporary
// prefix, and the installed norvane-cli sets up the change log of a fresh
// database and writes the script that makes its twin equal to it; the
// installed manual pages render and the desktop entry is valid.
#include "FbTestUtil.h"

#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

NorvaneTest::TProcessResult Spawn(const std::vector<std::string>& command,
                                  const std::vector<std::string>& environment = {})
{
    NorvaneTest::TTempFolder folder("norvane-installed-");
    return NorvaneTest::RunProcess(command, {folder.Path() / "out", folder.Path() / "err", environment});
}

// The prefix the build is installed into, once for the test program.
fs::path Installed(const std::string& relative)
{
    static const NorvaneTest::TTempFolder prefix("norvane-prefix-");
    static const bool done = [] {
        const auto install =
            Spawn({NORVANE_CMAKE, "--install", NORVANE_BINARY_DIR, "--prefix", prefix.Path().string()});
        EXPECT_TRUE(install.Succeeded()) << install.output << install.errors;
        return install.Succeeded();
    }();
    return done ? prefix.Path() / relative : fs::path("/nonexistent") / relative;
}

class InstalledTools : public FbEngineTest { };

// A tool that the check needs, or a skip (a failure under CI).
bool Have(const char* program)
{
    if (Spawn({"sh", "-c", std::string("command -v ") + program}).Succeeded())
        return true;
    if (NorvaneTest::Env("CI") == "true")
        ADD_FAILURE() << program << " is missing (scripts/setup.sh installs it)";
    return false;
}

}  // namespace

TEST_P(InstalledTools, LogInstallThenScriptReplaysOnTwin)
{
    const std::string cli = Installed("bin/norvane-cli").string();
    for (const std::string charset : {"UTF8", "WIN1251"}) {
        for (const int dialect : {1, 3}) {
            SCOPED_TRACE(charset + ", dialect " + std::to_string(dialect));
            const char* encoding = charset == "UTF8" ? "UTF-8" : "CP1251";
            TestDatabase a(Engine(), charset, dialect), twin(Engine(), charset, dialect);
            for (TestDatabase* db : {&a, &twin}) {
                db->SetExecCharset(charset);
                db->Exec(ReadSource("scripts/demo/schema.sql") +
                         Encoded("insert into customers values (1, 'Иван', 'Пермь', null, 5, '2024-05-06 10:11:12');\n"
                                 "insert into goods values (1, 'Tea', 2.5, 0.25, 'kg', 3);\n",
                                 encoding));
            }
            const auto login = [](const TestDatabase& db) {
                return std::vector<std::string>{"-d", db.Location(), "-u", db.User(), "-p", db.Password()};
            };
            std::vector<std::string> install = {cli, "log", "install"};
            for (const std::string& arg : login(a))
                install.push_back(arg);
            const auto installed = Spawn(install);
            ASSERT_TRUE(installed.Succeeded()) << installed.output << installed.errors;
            EXPECT_NE(installed.output.find("(character set " + charset + ")"), std::string::npos);

            const std::string foreign = charset == "UTF8" ? "Ωμέγα 🍵" : "Чай «Слон»";
            a.Exec(Encoded(
                "insert into goods values (2, '" + foreign +
                    "', 249.90, 0.1, 'шт', 120);\n"
                    "update customers set name = 'O''Brien', created = '2024-05-07 10:11:12.3456' where id = 1;\n"
                    "update goods set id = 3, weight = 1e-300 where id = 1;\n"
                    "insert into orders values (1, 1, '2024-05-07 12:00:00', 249.90, null);\n"
                    "insert into order_lines values (1, 1, 2, 1.5, 249.90);\n"
                    "delete from customers where id = 1;\n",
                encoding));
            NorvaneTest::TTempFolder folder("norvane-installed-");
            const fs::path script = folder.Path() / "changes.sql";
            std::vector<std::string> run = {cli, "--charset", charset, "--sql", script.string()};
            for (const std::string& arg : login(a))
                run.push_back(arg);
            const auto written = Spawn(run);
            ASSERT_TRUE(written.Succeeded()) << written.errors;
            twin.Exec(NorvaneTest::ReadFile(script));

            const std::string image = "set list on;\n"
                                      "select * from customers order by id;\nselect * from goods order by id;\n"
                                      "select * from orders order by id;\nselect * from order_lines order by 1, 2;\n";
            const std::string changed = a.Exec(image);
            EXPECT_NE(changed.find(Encoded(foreign, encoding)), std::string::npos);
            EXPECT_EQ(twin.Exec(image), changed);
        }
    }
}

TEST(InstalledFiles, ManualPagesAndDesktopEntry)
{
    if (Have("man")) {
        for (const char* page : {"share/man/man1/norvane-cli.1.gz", "share/man/man1/norvane.1.gz"}) {
            const auto shown =
                Spawn({"man", "--warnings", "-l", Installed(page).string()}, {"MANPAGER=cat", "MANWIDTH=80"});
            EXPECT_TRUE(shown.Succeeded()) << page << ": " << shown.errors;
            EXPECT_EQ(shown.errors, "") << page;
            EXPECT_NE(shown.output.find("SEE ALSO"), std::string::npos) << page;
        }
    }
    if (Have("desktop-file-validate")) {
        const auto valid = Spawn({"desktop-file-validate", Installed("share/applications/norvane.desktop").string()});
        EXPECT_TRUE(valid.Succeeded()) << valid.output << valid.errors;
        EXPECT_EQ(valid.output + valid.errors, "");
    }
    EXPECT_TRUE(fs::exists(Installed("share/icons/hicolor/scalable/apps/norvane.svg")));
    EXPECT_TRUE(fs::exists(Installed("share/doc/norvane/copyright")));
}

INSTANTIATE_TEST_SUITE_P(Engines, InstalledTools, FbEngines(), FbEngineName);
