#pragma once
// Throwaway Firebird databases for the tests, on the embedded engine or on the
// server, and a way to run the same test on both.
//
//   class LogQuery : public FbEngineTest {};
//
//   TEST_P(LogQuery, ReadsRows)
//   {
//       TestDatabase db(Engine());
//       db.Exec("create table t (id integer);\n"
//               "insert into t values (1);\n");
//       TDBManager& manager = TDBManager::GetInstance();
//       manager.Connect(db.Location(), db.User(), db.Password());
//       ...
//   }
//
//   INSTANTIATE_TEST_SUITE_P(Engines, LogQuery, FbEngines(), FbEngineName);
//
// That registers LogQuery.ReadsRows/Embedded and LogQuery.ReadsRows/Server.
//
// Embedded: the database file lies in a temporary folder of its own and is
// opened in-process through its path; no server runs. Server: the file lies in
// the folder named by NORVANE_TEST_SERVER_DIR, which the firebird user owns,
// and is reached as "127.0.0.1:/that/folder/name.fdb". scripts/fbserver.sh
// starts the server and exports NORVANE_TEST_SERVER (the host),
// NORVANE_TEST_USER, NORVANE_TEST_PASSWORD and NORVANE_TEST_SERVER_DIR; without
// NORVANE_TEST_SERVER the Server variants are skipped, except under CI=true,
// where they fail.
//
// Take care: the embedded engine opens a database file for itself alone. While
// TDBManager is connected to an embedded database, Exec on it fails; run the
// scripts before connecting. The manager stays connected after a test (it is
// one per process), and the fixture rolls back a transaction left open.
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

enum class TestEngine { Embedded, Server };

// A database made for one test and deleted with the object.
class TestDatabase {
public:
    // Creates the database with the given default character set and SQL
    // dialect. Throws std::runtime_error (with isql's output) when it cannot.
    explicit TestDatabase(TestEngine engine = TestEngine::Embedded, const std::string& charset = "WIN1251",
                          int dialect = 3);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // Runs an SQL script through isql-fb with the connection character set
    // WIN1251 (or the one SetExecCharset names) and commits it: statements end
    // with ';', and the script may hold bytes of that set. Stops at the first error and throws
    // std::runtime_error with isql's output. Returns what isql printed.
    std::string Exec(const std::string& sqlScript);
    void SetExecCharset(const std::string& charset) { execCharset = charset; }

    TestEngine Engine() const { return engine; }
    // The database name to give TDBManager::Connect.
    const std::string& Location() const { return location; }
    // The database file on this machine.
    const std::string& Path() const { return path; }
    const std::string& User() const { return user; }
    const std::string& Password() const { return password; }

    // Whether the environment names a server to test against.
    static bool ServerConfigured();

private:
    TestEngine engine;
    // The file's folder when embedded; isql's scripts go there on both engines.
    NorvaneTest::TTempFolder folder{"norvane-db-"};
    std::string path;
    std::string location;
    std::string user;
    std::string password;
    std::string execCharset = "WIN1251";
};

// Runs a test once on each engine.
class FbEngineTest : public ::testing::TestWithParam<TestEngine> {
protected:
    // Skips (under CI=true: fails) the Server variant when no server is
    // configured; rolls back a transaction that TDBManager has left open.
    void SetUp() override;
    TestEngine Engine() const { return GetParam(); }
};

// An engine test whose dates read day.month.year with a 24-hour time and
// whose messages are the built-in English ones, whatever the machine's
// locale and earlier tests did.
class FbFixedFormatsTest : public FbEngineTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

inline auto FbEngines() { return ::testing::Values(TestEngine::Embedded, TestEngine::Server); }
std::string FbEngineName(const ::testing::TestParamInfo<TestEngine>& info);
// Names the engine where GoogleTest prints the parameter.
void PrintTo(TestEngine engine, std::ostream* out);

using NorvaneTest::ReadSource;

// Windows-1251 bytes of a UTF-8 text, so that tests can write Russian texts
// readably: Cp1251("Текст запроса").
std::string Cp1251(const std::string& utf8);
// The same for any iconv encoding.
std::string Encoded(const std::string& utf8, const char* encoding);
