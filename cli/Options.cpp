#include "cli/Options.h"

#include "app/core/Charset.h"

#include <cstdlib>

namespace {

std::string Env(const char* name, const std::string& def)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : def;
}

}  // namespace

std::string UsageText()
{
    return "Usage: norvane-cli -d LOCATION [options]\n"
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
           "      --sql FILE           write the script to FILE instead of standard output\n"
           "      --xml FILE           save the XML log to FILE\n"
           "      --charset NAME       character set of the connection and of the outputs:\n"
           "                           a Firebird name such as UTF8, WIN1252, ISO8859_1,\n"
           "                           NONE (default WIN1251)\n"
           "      --language en|ru     language of messages and comments (default en)\n"
           "      --help               show this text\n"
           "      --version            show the version\n"
           "\n"
           "The script is text in the character set of --charset, for isql's -ch option;\n"
           "the XML log declares its encoding. Output files are replaced only when the run\n"
           "succeeds.\n"
           "Exit status: 0 done, 1 other failure, 2 bad usage, 3 connection refused,\n"
           "4 the change log cannot be read, 5 a logged value has no SQL form or was not\n"
           "logged completely, 6 a logged value cannot be read in the character set of\n"
           "--charset, 130 interrupted by Ctrl+C (143 by SIGTERM): no file is written.\n";
}

TDateTime ParseIsoDate(const std::string& text, const std::string& option)
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
    TDateTime result = 0;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
        if (y >= 0 && m >= 0 && d >= 0 && TryEncodeDate(y, m, d, result))
            return result;
    }
    throw UsageError(option + ": '" + text + "' is not a date in the form YYYY-MM-DD");
}

CliOptions ParseOptions(const std::vector<std::string>& args)
{
    CliOptions o;
    o.user = Env("ISC_USER", "SYSDBA");
    o.password = Env("ISC_PASSWORD", "");
    o.from = EncodeDate(1901, 1, 1);
    o.to = Date();
    bool haveDatabase = false;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        auto take = [&]() -> std::string {
            if (inlineValue)
                return value;
            if (i + 1 >= args.size())
                throw UsageError(arg + " needs a value");
            return args[++i];
        };
        auto flag = [&]() {
            if (inlineValue)
                throw UsageError(arg + " takes no value");
        };

        if (arg == "-d" || arg == "--database") {
            o.database = take();
            haveDatabase = true;
        } else if (arg == "-u" || arg == "--user") {
            o.user = take();
        } else if (arg == "-p" || arg == "--password") {
            o.password = take();
        } else if (arg == "--from") {
            o.from = ParseIsoDate(take(), "--from");
        } else if (arg == "--to") {
            o.to = ParseIsoDate(take(), "--to");
        } else if (arg == "--undo") {
            flag();
            o.undo = true;
        } else if (arg == "--no-comments") {
            flag();
            o.comments = false;
        } else if (arg == "--disable-triggers") {
            flag();
            o.disableTriggers = true;
        } else if (arg == "--sql") {
            o.sqlFile = take();
        } else if (arg == "--xml") {
            o.xmlFile = take();
        } else if (arg == "--language") {
            o.language = take();
            if (o.language != "en" && o.language != "ru")
                throw UsageError("--language: '" + o.language + "' is not one of en, ru");
        } else if (arg == "--charset") {
            const std::string name = take();
            TCharset charset;
            if (!FindCharset(name, charset))
                throw UsageError("--charset: '" + name + "' is not a Firebird character set this program knows");
            o.charset = charset.name;
        } else if (arg == "--help" || arg == "-h") {
            flag();
            o.help = true;
        } else if (arg == "--version") {
            flag();
            o.version = true;
        } else {
            throw UsageError("unknown argument '" + args[i] + "'");
        }
    }
    if (o.help || o.version)
        return o;
    if (!haveDatabase || o.database.empty())
        throw UsageError("the database location is missing (-d LOCATION)");
    if (!o.sqlFile.empty() && o.sqlFile == o.xmlFile)
        throw UsageError("--sql and --xml name the same file");
    return o;
}
