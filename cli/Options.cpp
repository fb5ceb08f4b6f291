#include "cli/Options.h"

#include "app/core/Charset.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>

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

// CLI11 puts the option's name before a validator's text:
// "--from: '2003-O1-01' is not a date in the form YYYY-MM-DD".
CLI::Validator IsoDate()
{
    return CLI::Validator(
        [](std::string& text) {
            TDateTime date = 0;
            return TryIsoDate(text, date) ? std::string() : "'" + text + "' is not a date in the form YYYY-MM-DD";
        },
        "YYYY-MM-DD");
}

// A known character set, given in any case; the value becomes Firebird's
// own spelling of its name.
CLI::Validator KnownCharset()
{
    return CLI::Validator(
        [](std::string& name) {
            TCharset charset;
            if (!FindCharset(name, charset))
                return "'" + name + "' is not a Firebird character set this program knows";
            name = charset.name;
            return std::string();
        },
        "NAME");
}

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

// The plain form's help is the text of UsageText, written to be read in a
// terminal; a subcommand's is CLI11's, made from its options.
class TFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override
    {
        if (!app->get_parent())
            return UsageText();
        return CLI::Formatter::make_help(app, std::move(name), mode);
    }
};

}  // namespace

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
           "      --from YYYY-MM-DD    first day of the period (default 1901-01-01)\n"
           "      --to YYYY-MM-DD      last day of the period, included whole (default today)\n"
           "      --undo               write the undo script (newest change first)\n"
           "      --no-comments        leave out the date-and-user comment lines\n"
           "      --disable-triggers   make the target's own triggers on the changed tables\n"
           "                           inactive while the script's statements run\n"
           "      --skip-invalid       leave out log entries that cannot be trusted (a table\n"
           "                           that is no user table, keys that are not the table's\n"
           "                           key, ...) instead of stopping at the first; they are\n"
           "                           listed on standard error\n"
           "      --sql FILE           write the script to FILE instead of standard output\n"
           "      --xml FILE           save the XML log to FILE\n"
           "      --charset NAME       character set of the connection and of the outputs:\n"
           "                           a Firebird name such as UTF8, WIN1252, ISO8859_1,\n"
           "                           NONE (default WIN1251)\n"
           "      --language en|ru     language of messages and comments (default en)\n"
           "      --timeout SECONDS    give up when connecting, or any wait for the database\n"
           "                           or for a pipe to take an output, lasts longer (default:\n"
           "                           no bound)\n"
           "  -h, --help               show this text\n"
           "      --version            show the version\n"
           "\n"
           "The script is text in the character set of --charset, for isql's -ch option;\n"
           "the XML log declares its encoding. Nothing reaches an output (a file, a pipe,\n"
           "standard output) unless the run succeeds; until then each waits in a temporary\n"
           "file, beside a file's target and in $TMPDIR for the others.\n"
           "Exit status: 0 done, 1 other failure, 2 bad usage, 3 connection refused,\n"
           "4 the change log cannot be read, 5 a logged value has no SQL form or was not\n"
           "logged completely, 6 a logged value cannot be read in the character set of\n"
           "--charset, 7 a log entry cannot be trusted (it is named), 8 done, but invalid\n"
           "entries were left out (--skip-invalid), 9 an output cannot be written, 10 timed\n"
           "out (--timeout), 130 interrupted by Ctrl+C (143 by SIGTERM): no file is written.\n"
           "\n"
           "The log commands install the change log on a database (or bring it up to date),\n"
           "report on it, purge old entries and remove it; 'norvane-cli log ACTION --help'\n"
           "shows each one's options. Their own exit statuses: 20 the database has no change\n"
           "log, 21 the user may not change its structure, 22 the database refused the log's\n"
           "structures, 23 a target of --applied keeps no record of the source.\n";
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
    app->add_option_function<std::string>(
           "--from", [&o](const std::string& text) { o.from = ParseIsoDate(text, "--from"); },
           "first day of the period")
        ->check(IsoDate());
    app->add_option_function<std::string>(
           "--to", [&o](const std::string& text) { o.to = ParseIsoDate(text, "--to"); },
           "last day of the period")
        ->check(IsoDate());
    app->add_flag("--undo", o.undo, "write the undo script");
    app->add_flag_function(
        "--no-comments", [&o](std::int64_t) { o.comments = false; }, "leave out the comment lines");
    app->add_flag("--disable-triggers", o.disableTriggers, "switch the target's triggers off");
    app->add_flag("--skip-invalid", o.skipInvalid, "leave out invalid log entries");
    app->add_option("--sql", o.sqlFile, "script file");
    app->add_option("--xml", o.xmlFile, "XML log file");
    app->add_option("--charset", o.charset, "character set")->check(KnownCharset());
    app->add_option("--language", o.language, "language")->check(OneOf({"en", "ru"}));
    app->add_option("--timeout", o.timeout, "seconds a wait may last")->check(Seconds(86400));
    app->add_flag("--version", o.version, "show the version");
    AddLogCommands(*app, o.log);
}

TCommandLine::~TCommandLine() = default;

CliOptions TCommandLine::Parse(const std::vector<std::string>& args)
{
    options = CliOptions();
    options.user = Env("ISC_USER", "SYSDBA");
    options.password = Env("ISC_PASSWORD", "");
    options.from = EncodeDate(1901, 1, 1);
    options.to = Date();
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
    if (app->get_subcommands().empty()) {
        if (app->count("--database") == 0 || options.database.empty())
            throw UsageError("the database location is missing (-d LOCATION)");
        if (!options.sqlFile.empty() && options.sqlFile == options.xmlFile)
            throw UsageError("--sql and --xml name the same file");
    }
    return options;
}

std::string TCommandLine::Help() const { return app->help(); }

CliOptions ParseOptions(const std::vector<std::string>& args) { return TCommandLine().Parse(args); }
