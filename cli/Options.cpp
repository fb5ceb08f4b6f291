#include "cli/Options.h"

#include "cli/Output.h"
#include "cli/Terminal.h"
#include "core/Charset.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace {

std::string Env(const char* name, const std::string& def)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : def;
}

bool TryIsoDate(const std::string& text, TDateTime& result)
{
    auto digits = [&](size_t from, size_t count) {
        int v = 0;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    return y >= 0 && m >= 0 && d >= 0 && TryEncodeDate(y, m, d, result);
}

// YYYY-MM-DD, or with a time of day: YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS
// (a blank for the T too, as a date and a time are often written).
bool TryIsoMoment(const std::string& text, TDateTime& result, bool& hasTime)
{
    hasTime = text.size() > 10;
    if (!TryIsoDate(text.substr(0, 10), result))
        return false;
    if (!hasTime)
        return true;
    const std::string time = text.substr(11);
    if ((text[10] != 'T' && text[10] != ' ') || (time.size() != 5 && time.size() != 8) || time[2] != ':' ||
        (time.size() == 8 && time[5] != ':'))
        return false;
    int parts[3] = {0, 0, 0};
    for (size_t part = 0; part * 3 < time.size(); ++part) {
        const char high = time[part * 3], low = time[part * 3 + 1];
        if (high < '0' || high > '9' || low < '0' || low > '9')
            return false;
        parts[part] = (high - '0') * 10 + (low - '0');
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return false;
    result += EncodeTime(parts[0], parts[1], parts[2]);
    return true;
}

// CLI11 puts the option's name before a validator's text:
// "--from: '2003-O1-01' is not a date in the form YYYY-MM-DD ...".
CLI::Validator PeriodBound()
{
    return CLI::Validator(
        [](std::string& text) {
            TDateTime moment = 0;
            bool hasTime = false;
            return TryIsoMoment(text, moment, hasTime)
                       ? std::string()
                       : "'" + text + "' is not a date in the form YYYY-MM-DD, nor one with a time of day in the "
                                      "form YYYY-MM-DDTHH:MM";
        },
        "YYYY-MM-DD[THH:MM]");
}

// A name of --table, --exclude-table or --by-user.
CLI::Validator Named()
{
    return CLI::Validator(
        [](std::string& name) { return name.empty() ? std::string("a name cannot be empty") : std::string(); },
        "NAME");
}

// Letters of I, U and D, separated by commas: "I,U"; the value becomes the
// letters alone, in capitals.
CLI::Validator Operations()
{
    return CLI::Validator(
        [](std::string& list) {
            std::string letters;
            bool letterNext = true;
            for (const char c : list) {
                const char upper = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
                if (letterNext && (upper == 'I' || upper == 'U' || upper == 'D')) {
                    if (letters.find(upper) == std::string::npos)
                        letters += upper;
                    letterNext = false;
                } else if (!letterNext && c == ',') {
                    letterNext = true;
                } else {
                    letters.clear();
                    break;
                }
            }
            if (letters.empty() || letterNext)
                return "'" + list + "' is not a list of the operations I, U and D, such as I,U";
            list = letters;
            return std::string();
        },
        "I,U,D");
}

// A known character set, given in any case; the value becomes Firebird's
// own spelling of its name.
CLI::Validator KnownCharset()
{
    return CLI::Validator(
        [](std::string& name) {
            TCharset charset;
            std::string upper = name;
            for (char& c : upper)
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            if (upper == "OCTETS" || upper == "BINARY")
                return "'" + name + "' cannot be the set of a connection: Firebird refuses it (NONE passes bytes "
                       "as they are)";
            if (!FindCharset(name, charset))
                return "'" + name + "' is not a Firebird character set this program knows";
            name = charset.name;
            return std::string();
        },
        "NAME");
}


CLI::Validator Seconds(int most)
{
    return CLI::Validator(
        [most](std::string& text) {
            const bool digits = !text.empty() && text.size() <= 9 &&
                                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (digits && std::stoi(text) <= most)
                return std::string();
            return "'" + text + "' is not a whole number of seconds from 0 to " + std::to_string(most);
        },
        "SECONDS");
}

// The period and the filters, alike in the plain form and in apply.
void AddSelectionOptions(CLI::App& app, CliOptions& o)
{
    app.add_option_function<std::string>(
           "--from", [&o](const std::string& text) { o.from = ParsePeriodBound(text, "--from", false); },
           "first day (or moment) of the period")
        ->check(PeriodBound());
    app.add_option_function<std::string>(
           "--to", [&o](const std::string& text) { o.to = ParsePeriodBound(text, "--to", true); },
           "last day of the period (or the moment it ends)")
        ->check(PeriodBound());
    // Each may be given again for another name; one name each time.
    for (auto [name, names, help] : {std::tuple{"--table", &o.filter.tables, "only the changes of this table"},
                                     std::tuple{"--exclude-table", &o.filter.excludedTables, "none of this table"},
                                     std::tuple{"--by-user", &o.filter.users, "only the changes of this user"}})
        app.add_option(name, *names, help)
            ->check(Named())
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--operation", o.filter.operations, "only these operations")->transform(Operations());
}

// The plain form's help is the text of UsageText, written to be read in a
// terminal; a subcommand's is CLI11's, made from its options.
class TFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override
    {
        if (!app->get_parent())
            return UsageText();
        if (app->get_name() == "apply")
            return ApplyUsageText();
        return CLI::Formatter::make_help(app, std::move(name), mode);
    }
};

// The period's and the filters' options, in both usages.
const char kPeriodAndFilters[] =
    "      --from YYYY-MM-DD    first day of the period (default 1901-01-01); with a\n"
    "                           time of day, YYYY-MM-DDTHH:MM[:SS], from that moment\n"
    "      --to YYYY-MM-DD      last day of the period, included whole (default today);\n"
    "                           with a time of day, up to (not including) that moment\n"
    "      --table NAME         only the changes of this table, as the log names it\n"
    "                           (again for more tables)\n"
    "      --exclude-table NAME none of the changes of this table (again for more)\n"
    "      --by-user NAME       only the changes this user made (again for more)\n"
    "      --operation I,U,D    only these operations: inserts, updates, deletes\n";

}  // namespace

CLI::Validator OneOf(std::vector<std::string> words)
{
    return CLI::Validator(
        [words](std::string& word) {
            if (std::find(words.begin(), words.end(), word) != words.end())
                return std::string();
            std::string list;
            for (const std::string& w : words)
                list += (list.empty() ? "" : ", ") + w;
            return "'" + word + "' is not one of " + list;
        },
        "");
}

std::string UsageText()
{
    return "Usage: norvane-cli -d LOCATION [options]\n"
           "       norvane-cli log install|status|purge|remove -d LOCATION [options]\n"
           "Reads the IBExpert change log of a Firebird/InterBase database and writes an SQL\n"
           "script that replays the logged changes (or undoes them), and its XML log.\n"
           "The database is only read, inside a transaction that is rolled back.\n"
           "\n"
           "  -d, --database LOCATION  database file, or host:path, host/port:path\n"
           "  -u, --user NAME          user name (default: $ISC_USER, else SYSDBA)\n"
           "  -p, --password PASS      password (default: $ISC_PASSWORD, else none)\n"
           + std::string(kPeriodAndFilters) +
           "      --undo               write the undo script (newest change first)\n"
           "      --no-comments        leave out the date-and-user comment lines\n"
           "      --disable-triggers   make the target's own triggers on the changed tables\n"
           "                           inactive while the script's statements run\n"
           "      --sync-generators    end the reproducing script by moving each generator\n"
           "                           of the target up to at least the value the\n"
           "                           source's has now, never down\n"
           "      --skip-invalid       leave out log entries that cannot be trusted (a table\n"
           "                           that is no user table, keys that are not the table's\n"
           "                           key, ...) instead of stopping at the first; they are\n"
           "                           listed on standard error\n"
           "      --sql FILE           write the script to FILE instead of standard output\n"
           "      --xml FILE           save the XML log to FILE\n"
           "      --state FILE         leave out the entries written before according to FILE,\n"
           "                           and note the ones written now in it (made when missing);\n"
           "                           entries the filters leave out are not noted\n"
           "      --source-name NAME   the name FILE knows the database by (default: its file\n"
           "                           name, so that a copy or a move is the same source)\n"
           "      --charset NAME       character set of the connection and of the outputs:\n"
           "                           a Firebird name such as UTF8, WIN1252, ISO8859_1,\n"
           "                           NONE (default WIN1251; OCTETS cannot be a\n"
           "                           connection's set)\n"
           "      --language en|ru     language of messages and comments (default en)\n"
           "      --timeout SECONDS    give up when connecting, or any wait for the database\n"
           "                           or for a pipe to take an output, lasts longer (default:\n"
           "                           no bound)\n"
           "  -h, --help               show this text\n"
           "      --version            show the version\n"
           "\n"
           "The filters take the changes a referential action (ON UPDATE/DELETE CASCADE,\n"
           "SET NULL, SET DEFAULT) made with the change that caused them, or leave them\n"
           "out with it, whatever they say of the changes themselves.\n"
           "The script is text in the character set of --charset, for isql's -ch option;\n"
           "the XML log declares its encoding. Nothing reaches an output (a file, a pipe,\n"
           "standard output) unless the run succeeds; until then each waits in a temporary\n"
           "file, beside a file's target and in $TMPDIR for the others.\n"
           "Exit status: 0 done, 1 other failure, 2 bad usage, 3 connection refused,\n"
           "4 the change log cannot be read, 5 a logged value has no SQL form or was not\n"
           "logged completely, 6 a logged value cannot be read in the character set of\n"
           "--charset, 7 a log entry cannot be trusted (it is named), 8 done, but invalid\n"
           "entries were left out (--skip-invalid), 9 an output cannot be written, 10 timed\n"
           "out (--timeout), 12 the --state file cannot be used (named), 130 interrupted by\n"
           "Ctrl+C (143 by SIGTERM): no file is written.\n"
           "A warning on standard error names the statements that find their row by logged\n"
           "values which leave out some of the table's columns (a log of other triggers):\n"
           "they may change another row equal in those values.\n"
           "\n"
           "norvane-cli apply carries the changes to a sister database directly: see\n"
           "norvane-cli apply --help.\n"
           "\n"
           "The log commands install the change log on a database (or bring it up to date),\n"
           "report on it, purge old entries and remove it; 'norvane-cli log ACTION --help'\n"
           "shows each one's options. Their own exit statuses: 20 the database has no change\n"
           "log, 21 the user may not change its structure, 22 the database refused the log's\n"
           "structures, 23 a target of --applied keeps no record of the source.\n";
}

std::string ApplyUsageText()
{
    return "Usage: norvane-cli apply -d SOURCE --target TARGET [options]\n"
           "       norvane-cli apply --undo -d DATABASE [options]\n"
           "       norvane-cli apply --restore-triggers --target DATABASE\n"
           "Applies the logged changes of SOURCE that TARGET has not received yet to TARGET,\n"
           "in log order, in one transaction that commits only when every change found its\n"
           "row as the log says; TARGET notes what it received in the same transaction, so\n"
           "that no change is applied twice. With --undo, undoes the selected changes in\n"
           "DATABASE itself, newest first, each row checked to hold what the change left.\n"
           "\n"
           "  -d, --database LOCATION  the source: a database file, host:path, host/port:path\n"
           "  -u, --user NAME          its user name (default: $ISC_USER, else SYSDBA)\n"
           "  -p, --password PASS      its password (default: $ISC_PASSWORD, else none)\n"
           "      --charset NAME       character set of its connection (default WIN1251)\n"
           "      --target LOCATION    the sister database the changes go to\n"
           "      --target-user NAME   its user name (default: the source's)\n"
           "      --target-password P  its password (default: the source's)\n"
           "      --target-charset N   character set of its connection (default: the source's)\n"
           + std::string(kPeriodAndFilters) +
           "      --source-name NAME   the name TARGET knows the source by (default: its file\n"
           "                           name, so that a copy or a move is the same source)\n"
           "      --key-only           find each row by its key alone, without checking the\n"
           "                           logged values the change found there\n"
           "      --undo               undo the changes in the source database itself\n"
           "      --restore-triggers   switch on again the triggers of TARGET (or of -d) that\n"
           "                           an apply left switched off, and do nothing else\n"
           "      --language en|ru     language of messages (default en)\n"
           "  -h, --help               show this text\n"
           "\n"
           "An entry the filters leave out is not received: a later run still applies it.\n"
           "The changes a referential action (ON UPDATE/DELETE CASCADE, SET NULL, SET\n"
           "DEFAULT) made go with the change that caused them, whatever the filters say.\n"
           "TARGET's own triggers on the changed tables are off while the changes apply\n"
           "(and its log's triggers stay on for an undo); its generators are then moved up\n"
           "to the source's. A summary goes to standard output.\n"
           "Exit status: 0 done, 1 other failure, 2 bad usage, 3 connection refused or lost,\n"
           "4 the change log cannot be read, 5 a logged value has no SQL form or was not\n"
           "logged completely, 6 a logged value cannot be read in the character set of\n"
           "--charset, 7 a log entry cannot be trusted, 11 conflict: a row is not as the log\n"
           "says (named), 12 the target's record of the source does not fit it, 13 TARGET's\n"
           "triggers could not be switched on again, 14 TARGET refuses the tool's own work\n"
           "(its bookkeeping, triggers or generators: rights), 130 interrupted by Ctrl+C\n"
           "(143 by SIGTERM). On any failure TARGET is as it was.\n";
}

TDateTime ParsePeriodBound(const std::string& text, const std::string& option, bool endOfDay)
{
    TDateTime result = 0;
    bool hasTime = false;
    if (!TryIsoMoment(text, result, hasTime))
        throw UsageError(option + ": '" + text + "' is not a date in the form YYYY-MM-DD, nor one with a time of day "
                         "in the form YYYY-MM-DDTHH:MM");
    return hasTime || !endOfDay ? result : result + 1.0;
}

TDateTime ParseIsoDate(const std::string& text, const std::string& option)
{
    TDateTime result = 0;
    if (!TryIsoDate(text, result))
        throw UsageError(option + ": '" + text + "' is not a date in the form YYYY-MM-DD");
    return result;
}

TCommandLine::TCommandLine() : app(std::make_unique<CLI::App>("", "norvane-cli"))
{
    CliOptions& o = options;
    app->formatter(std::make_shared<TFormatter>());
    app->set_help_flag("-h,--help", "show this text");
    // An option given twice counts as last given, a flag's value cannot be
    // overridden (--undo=false is refused), and every subcommand added
    // later inherits both.
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();

    app->add_option("-d,--database", o.database, "database file, or host:path, host/port:path");
    app->add_option("-u,--user", o.user, "user name");
    app->add_option("-p,--password", o.password, "password");
    AddSelectionOptions(*app, o);
    app->add_flag("--undo", o.undo, "write the undo script");
    app->add_flag_function(
        "--no-comments", [&o](std::int64_t) { o.comments = false; }, "leave out the comment lines");
    app->add_flag("--disable-triggers", o.disableTriggers, "switch the target's triggers off");
    app->add_flag("--skip-invalid", o.skipInvalid, "leave out invalid log entries");
    app->add_flag("--sync-generators", o.syncGenerators, "carry the source's generators to the target");
    app->add_option("--sql", o.sqlFile, "script file");
    app->add_option("--xml", o.xmlFile, "XML log file");
    app->add_option("--charset", o.charset, "character set")->check(KnownCharset());
    app->add_option("--language", o.language, "language")->check(OneOf({"en", "ru"}));
    app->add_option("--timeout", o.timeout, "seconds a wait may last")->check(Seconds(86400));
    app->add_flag("--version", o.version, "show the version");
    app->add_option("--state", o.stateFile, "state file");
    app->add_option("--source-name", o.sourceName, "the source's name");

    CLI::App* apply = app->add_subcommand("apply", "apply the changes to a sister database");
    apply->add_option("-d,--database", o.database, "source database");
    apply->add_option("-u,--user", o.user, "user name");
    apply->add_option("-p,--password", o.password, "password");
    apply->add_option("--charset", o.charset, "character set")->check(KnownCharset());
    apply->add_option("--target", o.target, "target database");
    apply->add_option("--target-user", o.targetUser, "target user name");
    apply->add_option("--target-password", o.targetPassword, "target password");
    apply->add_option("--target-charset", o.targetCharset, "target character set")->check(KnownCharset());
    AddSelectionOptions(*apply, o);
    apply->add_option("--source-name", o.sourceName, "the source's name");
    apply->add_flag("--key-only", o.keyOnly, "match rows by their keys alone");
    apply->add_flag("--undo", o.undo, "undo in place");
    apply->add_flag("--restore-triggers", o.restoreTriggers, "switch the triggers on again");
    apply->add_option("--language", o.language, "language")->check(OneOf({"en", "ru"}));
    AddLogCommands(*app, o.log);
}

TCommandLine::~TCommandLine() = default;

CliOptions TCommandLine::Parse(const std::vector<std::string>& args)
{
    options = CliOptions();
    options.user = Env("ISC_USER", "SYSDBA");
    options.password = Env("ISC_PASSWORD", "");
    options.from = EncodeDate(1901, 1, 1);
    options.to = Date() + 1.0;
    options.log.user = options.user;
    options.log.password = options.password;
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return options;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    if (options.version)
        return options;
    // The filters' names come in the terminal's character set, the log's in
    // the run's; without a locale (C) they are taken as the bytes given.
    const std::string codeset = TerminalCodeset();
    if (!codeset.empty()) {
        const std::string encoding = CharsetOf(options.charset).encoding;
        for (std::vector<std::string>* names :
             {&options.filter.tables, &options.filter.excludedTables, &options.filter.users})
            for (std::string& name : *names)
                name = Recode(name, codeset, encoding);
    }
    if (app->get_subcommands().empty()) {
        if (app->count("--database") == 0 || options.database.empty())
            throw UsageError("the database location is missing (-d LOCATION)");
        // By name, or as the same file under two names (a link, ./F).
        if (!options.xmlFile.empty() &&
            (options.sqlFile == options.xmlFile || SameFile(options.sqlFile, options.xmlFile)))
            throw UsageError(options.sqlFile.empty() ? "--xml names standard output, where the script goes"
                                                     : "--sql and --xml name the same file");
        if (!options.stateFile.empty() && (options.stateFile == options.sqlFile || options.stateFile == options.xmlFile))
            throw UsageError("--state names the same file as --sql or --xml");
    } else if (app->got_subcommand("apply")) {
        options.apply = true;
        if (options.restoreTriggers) {
            if (options.target.empty() == options.database.empty())
                throw UsageError("apply --restore-triggers needs the database: --target LOCATION (or -d LOCATION)");
        } else {
            if (options.database.empty())
                throw UsageError("the source database is missing (-d LOCATION)");
            if (options.undo && !options.target.empty())
                throw UsageError("apply --undo undoes the changes in the source itself: leave --target out");
            if (!options.undo && options.target.empty())
                throw UsageError("the target database is missing (--target LOCATION)");
        }
        if (options.targetUser.empty())
            options.targetUser = options.user;
        if (options.targetPassword.empty())
            options.targetPassword = options.password;
        if (options.targetCharset.empty())
            options.targetCharset = options.charset;
    }
    return options;
}

std::string TCommandLine::Help() const { return app->help(); }

CliOptions ParseOptions(const std::vector<std::string>& args) { return TCommandLine().Parse(args); }
