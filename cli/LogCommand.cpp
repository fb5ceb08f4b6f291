#include "cli/LogCommand.h"

#include "cli/Options.h"
#include "cli/Terminal.h"
#include "db/Tsignalwatch.h"
#include "engine/Clogadmin.h"
#include "locale/Messages.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace {

using Norvane::TLogDatabase;

// The core's reports and failures are UTF-8.
void Print(const std::string& utf8) { std::cout << ForTerminal(utf8, "UTF-8"); }

void Complain(const std::string& utf8)
{
    std::cout.flush();
    std::cerr << ForTerminal(utf8, "UTF-8") << '\n';
}

TLogDatabase Database(const LogOptions& o) { return {o.database, o.user, o.password}; }

void Purge(const LogOptions& o)
{
    Norvane::TPurgeRequest request;
    request.before = o.before;
    request.sourceName = o.sourceName;
    for (const std::string& target : o.applied)
        request.appliedTo.push_back({target, o.targetUser.empty() ? o.user : o.targetUser,
                                     o.targetPassword.empty() ? o.password : o.targetPassword});
    // Each batch is told, however few.
    TProgressLine progress(msgPurging, isatty(STDERR_FILENO) != 0, 1);
    const Norvane::TPurgeReport report = Norvane::PurgeLog(Database(o), request, [&](long long done, long long total) {
        progress(total, done);
        // Between batches: the ones committed stay purged.
        TSignalWatch::StopIfCaught();
    });
    progress.Finish();
    Print(Norvane::PurgeText(report, o.before, o.database));
}

// The options every action takes: the database and the login.
CLI::App* Action(CLI::App& log, const char* name, const char* description, LogOptions& o)
{
    CLI::App* action = log.add_subcommand(name, description);
    action->add_option("-d,--database", o.database, "database file, or host:path, host/port:path")
        ->required()
        ->type_name("LOCATION");
    action->add_option("-u,--user", o.user, "user name (default: $ISC_USER, else SYSDBA)")->type_name("NAME");
    action->add_option("-p,--password", o.password, "password (default: $ISC_PASSWORD, else none)")->type_name("PASS");
    action->add_option("--language", o.language, "language of what it says (default en)")
        ->check(OneOf({"en", "ru"}))
        ->type_name("en|ru");
    action->callback([&o, name] { o.action = name; });
    return action;
}

}  // namespace

void AddLogCommands(CLI::App& app, LogOptions& o)
{
    CLI::App* log = app.add_subcommand("log", "install, report on, purge or remove the change log of a database");
    log->require_subcommand(1);
    Action(*log, "install",
           "make the log tables, generator and triggers in the database's own character set; run again, put "
           "triggers on tables made since and drop those of tables no longer logged",
           o);
    Action(*log, "status",
           "tables logged and not, entries with the oldest and newest, incomplete entries, size of the log tables", o);
    CLI::App* purge = Action(*log, "purge",
                             "delete the log entries stamped before a date with their keys and fields, in batches "
                             "that each commit",
                             o);
    purge
        ->add_option_function<std::string>(
            "--before", [&o](const std::string& text) { o.before = ParseIsoDate(text, "--before"); },
            "entries stamped before 00:00 of this day go")
        ->required()
        ->type_name("YYYY-MM-DD");
    purge
        ->add_option("--applied", o.applied,
                     "a target of norvane-cli apply (repeatable): only entries every target given has received go")
        ->type_name("TARGET");
    purge->add_option("--target-user", o.targetUser, "the targets' user name (default: the source's)")
        ->type_name("NAME");
    purge->add_option("--target-password", o.targetPassword, "the targets' password (default: the source's)")
        ->type_name("PASS");
    purge
        ->add_option("--source-name", o.sourceName,
                     "the name the targets know the source by (default: the file name of its location)")
        ->type_name("NAME");
    CLI::App* remove =
        Action(*log, "remove", "drop the log triggers and, with --drop-data, the log tables and generator", o);
    remove->add_flag("--drop-data", o.dropData, "drop the log tables and the generator with every entry");
}

int RunLogCommand(const LogOptions& o)
{
    try {
        if (o.action == "install")
            Print(Norvane::InstallText(Norvane::InstallLog(Database(o)), o.database));
        else if (o.action == "status")
            Print(Norvane::StatusText(Norvane::ReadLogStatus(Database(o)), o.database));
        else if (o.action == "purge")
            Purge(o);
        else
            Print(Norvane::RemoveText(Norvane::RemoveLog(Database(o), o.dropData), o.dropData, o.database));
        return 0;
    } catch (...) {
        const Norvane::TLogFailure failure = Norvane::DescribeLogFailure(std::current_exception());
        Complain(failure.text);
        return failure.exitStatus;
    }
}
