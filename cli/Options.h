#pragma once
#include "locale/Regional.h"

#include <stdexcept>
#include <string>
#include <vector>

// The command line of norvane-cli.
struct CliOptions {
    std::string database;
    std::string user;
    std::string password;
    TDateTime from = 0;
    TDateTime to = 0;  // the last day of the period, at 00:00
    bool undo = false;
    bool comments = true;
    bool disableTriggers = false;
    std::string sqlFile;
    std::string xmlFile;
    std::string language = "en";
    std::string charset = "WIN1251";  // Firebird's name, as CharsetOf gives it
    bool help = false;
    bool version = false;
};

// Bad usage; its text says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses argv. The user defaults to $ISC_USER, else SYSDBA; the password to
// $ISC_PASSWORD, else none; --from to 1901-01-01 and --to to today.
CliOptions ParseOptions(const std::vector<std::string>& args);
// Reads YYYY-MM-DD; throws UsageError for anything that is not a date.
TDateTime ParseIsoDate(const std::string& text, const std::string& option);
std::string UsageText();
