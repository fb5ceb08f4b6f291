#pragma once
#include "cli/LogCommand.h"
#include "engine/Cselection.h"
#include "locale/Regional.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
class Validator;
}  // namespace CLI

// The command line of norvane-cli.
struct CliOptions {
    std::string database;
    std::string user;
    std::string password;
    TDateTime from = 0;
    // The end of the period, itself excluded: 00:00 after the last day given,
    // or the moment given with its time of day.
    TDateTime to = 0;
    // Which of the period's entries the run takes: --table,
    // --exclude-table, --by-user, --operation.
    NorvaneImpl::TEntryFilter filter;
    bool undo = false;
    bool comments = true;
    bool disableTriggers = false;
    bool skipInvalid = false;
    bool syncGenerators = false;
    std::string sqlFile;
    std::string xmlFile;
    std::string language = "en";
    std::string charset = "WIN1251";  // Firebird's name, as CharsetOf gives it
    // Seconds the connect, each wait for the database and each wait for a
    // pipe output to take its data may last; 0: no bound.
    int timeout = 0;
    bool help = false;
    bool version = false;
    // Entries already written according to this file are left out, and the
    // file is brought up to date when the script is written.
    std::string stateFile;
    // The name a target or a state file knows the source by; empty: the
    // file name of its location.
    std::string sourceName;

    // norvane-cli apply: the changes go straight to the target database
    // (or, with undo, are undone in the database itself).
    bool apply = false;
    std::string target;
    std::string targetUser;      // default: the source's
    std::string targetPassword;  // default: the source's
    std::string targetCharset;   // default: the source's
    bool keyOnly = false;
    bool restoreTriggers = false;
    // `norvane-cli log ACTION`: its action is not empty.
    LogOptions log;
};

// Bad usage; its text says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The command line, read by CLI11. The plain form, `norvane-cli -d LOCATION
// [options]`, writes the script; a subcommand (`norvane-cli NAME ...`) is
// added to the application beside it with options of its own, and the plain
// form's checks (a database is needed) apply only when no subcommand was
// given.
class TCommandLine {
public:
    TCommandLine();
    ~TCommandLine();
    TCommandLine(const TCommandLine&) = delete;
    TCommandLine& operator=(const TCommandLine&) = delete;

    // Reads the arguments after the program's name. The user defaults to
    // $ISC_USER, else SYSDBA; the password to $ISC_PASSWORD, else none;
    // --from to 1901-01-01 and --to to the end of today. Throws UsageError.
    CliOptions Parse(const std::vector<std::string>& args);
    // What --help shows: UsageText() for the plain form, a subcommand's own
    // help for a subcommand.
    std::string Help() const;

private:
    std::unique_ptr<CLI::App> app;
    CliOptions options;
};

// Takes one of the words as they are, and says which words otherwise.
CLI::Validator OneOf(std::vector<std::string> words);

// Parses argv through a TCommandLine.
CliOptions ParseOptions(const std::vector<std::string>& args);
// Reads YYYY-MM-DD; throws UsageError for anything that is not a date.
TDateTime ParseIsoDate(const std::string& text, const std::string& option);
// Reads a bound of the period: YYYY-MM-DD, or YYYY-MM-DDTHH:MM[:SS] (a blank
// may stand for the T). A date alone is its 00:00, or with endOfDay the
// 00:00 after it; a time of day is that moment. Throws UsageError.
TDateTime ParsePeriodBound(const std::string& text, const std::string& option, bool endOfDay);
// The help of the plain form.
std::string UsageText();
// The help of norvane-cli apply.
std::string ApplyUsageText();
