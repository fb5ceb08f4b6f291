#pragma once
// What the tests and the benchmark need around a database: a scratch folder,
// whole files, the environment, isql-fb running scripts, the SQL that makes a
// database and the SQL that fills its change log.
#include <filesystem>
#include <string>
#include <vector>

namespace NorvaneTest {

// A new folder under the temporary directory (named prefix + six random
// characters), removed with everything in it on every way out.
class TTempFolder {
public:
    // Throws std::runtime_error when no folder can be made.
    explicit TTempFolder(const std::string& prefix = "norvane-");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }

private:
    std::filesystem::path path;
};

// A name for a file that no other process uses at the same time, for
// databases in the server's shared folder.
std::string UniqueName();

// The bytes of a file; throws std::runtime_error when it cannot be opened.
std::string ReadFile(const std::filesystem::path& file);
// Writes the bytes as the whole file; throws std::runtime_error when it cannot.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
// The contents of a file of the source tree, by its path from the top:
// ReadSource("scripts/demo/log-tables.sql"). Throws std::runtime_error when
// it cannot be read.
std::string ReadSource(const std::string& relative);

// The variable's value, or the fallback when it is unset or empty.
std::string Env(const char* name, const std::string& fallback = {});

// isql-fb's arguments that log in to a database: -user, -password (left out
// when empty; the embedded engine checks none) and the location.
std::vector<std::string> IsqlLogin(const std::string& location, const std::string& user, const std::string& password);

// Runs the SQL script through isql-fb, which reads it from a file in the
// folder (isql drops bytes that are not UTF-8 when it reads standard input),
// with the connection character set and the arguments after it (IsqlLogin).
// isql stops at the first error. Returns what isql printed (standard error
// merged); throws std::runtime_error with that text and the script when isql
// reports a failure.
std::string RunIsql(const std::filesystem::path& folder, const std::string& script,
                    const std::string& charset = "WIN1251", const std::vector<std::string>& arguments = {});

// A script of isql that makes a database: its SQL dialect, then CREATE
// DATABASE with the login (no password clause when it is empty), pages of
// 8192 bytes and the default character set.
std::string CreateDatabaseSql(const std::string& location, const std::string& user, const std::string& password,
                              const std::string& charset = "WIN1251", int dialect = 3);

// The demo shop with its change log (scripts/demo: the log tables, the
// schema and the log triggers), then `entries` logged changes of GOODS, each
// logging several fields: inserts of six columns, updates of three, deletes
// of all six, in the proportion 2 : 2 : 1. Made inside the database in one
// execute block, through the triggers, and committed.
std::string LoggedChangesSql(int entries);

}  // namespace NorvaneTest
