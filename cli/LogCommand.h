#pragma once
// `norvane-cli log ACTION`: the change log looked after on a database
// (engine/Clogadmin.h): install, status, purge and remove.
#include "locale/Regional.h"

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct LogOptions {
    std::string action;  // install, status, purge, remove; empty: no log command
    std::string database;
    std::string user;
    std::string password;
    std::string language = "en";  // of what the command says: en or ru
    // purge
    TDateTime before = 0;
    std::vector<std::string> applied;  // targets of apply that must have received an entry
    std::string targetUser;  // default: user
    std::string targetPassword;  // default: password
    std::string sourceName;
    // remove
    bool dropData = false;
};

// Adds `log` with its actions to the command line; what is given goes to
// options, whose user and password the caller sets to their defaults
// before each parse.
void AddLogCommands(CLI::App& app, LogOptions& options);

// Runs the action and says what it did on standard output (its failure on
// standard error); returns the exit status (Norvane::DescribeLogFailure).
int RunLogCommand(const LogOptions& options);
