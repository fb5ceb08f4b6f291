// norvane-cli: the script engine for scheduled and scripted use.
#include "app/core/AtomicFile.h"
#include "app/core/Charset.h"
#include "app/core/Resfuncs.h"
#include "cli/Options.h"
#include "db/Tdbmanager.h"
#include "engine/Cnorvane.h"
#include "locale/Messages.h"
#include "norvane/Version.h"
#include "res/TextIds.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

enum ExitCode {
    exDone = 0,
    exFailure = 1,
    exUsage = 2,
    exNoConnect = 3,
    exNoLog = 4,
    exNoSQLForm = 5,
    exCharset = 6
};

// Messages are Windows-1251; a terminal in another character set gets them
// converted, so Russian texts stay readable.
std::string ForTerminal(const std::string& text)
{
    std::string codeset = nl_langinfo(CODESET);
    if (codeset.empty() || codeset == "CP1251" || codeset == "ANSI_X3.4-1968")
        return text;
    return Transliterated(text, "CP1251", codeset);
}

void Say(const std::string& text)
{
    std::string t = ForTerminal(text);
    std::fwrite(t.data(), 1, t.size(), stderr);
    if (t.empty() || t.back() != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Applies the built-in Russian language file to the message catalogue.
void UseRussian()
{
    LoadMessagesFromText(LoadResourceText(BuiltinTexts::kLocaleRussian, "LOCALE"));
}

// The message of a value without a literal ends with the type code; a code
// that a column type has is named in words on a line of its own.
void SayTypeName(const std::string& message)
{
    static const std::string mark = "\nField type: ";
    const size_t at = message.rfind(mark);
    if (at == std::string::npos)
        return;
    const std::string name = NorvaneImpl::IBTypeName(std::atoi(message.c_str() + at + mark.size()));
    if (!name.empty())
        Say("SQL type: " + name);
}

class Progress {
public:
    explicit Progress(bool aEnabled) : enabled(aEnabled) {}
    ~Progress() { Finish(); }
    void operator()(int total, int done)
    {
        // Only worth showing for a log of some size, and only on a terminal.
        if (!enabled || total < 500)
            return;
        int percent = static_cast<int>(100LL * done / total);
        if (percent == shown)
            return;
        shown = percent;
        std::fprintf(stderr, "\rReading log: %d of %d entries (%d%%)", done, total, percent);
        std::fflush(stderr);
    }
    void Finish()
    {
        if (shown >= 0) {
            std::fputc('\n', stderr);
            shown = -1;
        }
    }

private:
    bool enabled;
    int shown = -1;
};

int Run(const CliOptions& o)
{
    if (o.language == "ru")
        UseRussian();

    Progress progress(isatty(STDERR_FILENO) != 0);
    bool noSQLForm = false;
    Norvane::CNorvane engine([&](int& total, int& done) { progress(total, done); },
                             [&](const std::string& text) {
                                 noSQLForm = true;
                                 Say(text);
                                 SayTypeName(text);
                             });
    engine.SetDisableTriggers(o.disableTriggers);
    try {
        engine.ReadLog(o.database, o.user, o.password, o.from, o.to + 1.0, o.comments, o.charset);
    } catch (const Norvane::CEIncompleteValue& e) {
        progress.Finish();
        Say(e.what());
        return exNoSQLForm;
    } catch (const ConnectError& e) {
        progress.Finish();
        Say(msgNoConnect);
        Say(e.Message);
        return exNoConnect;
    } catch (const CharsetError& e) {
        progress.Finish();
        Say("A logged value cannot be read in the character set " + e.CharacterSet + ": run with --charset " +
            CharsetThatReads(e.CharacterSet) + " (or the database's own character set) to read it.");
        Say(e.Message);
        return exCharset;
    } catch (const SQLError& e) {
        progress.Finish();
        Say(msgNoLog);
        Say(e.Message);
        return exNoLog;
    } catch (const Exception& e) {
        // The text alone ("Range check error" for an entry without an
        // operation letter) does not say that the log was being read.
        progress.Finish();
        Say("Cannot read the change log:");
        Say(e.Message);
        return exFailure;
    }
    progress.Finish();

    std::string script = o.undo ? engine.GetUndoScript() : engine.GetReproducingScript();
    if (noSQLForm)
        return exNoSQLForm;
    if (!engine.GetXMLError().empty() && !o.xmlFile.empty()) {
        Say(engine.GetXMLError());
        return exFailure;
    }

    // Both outputs are prepared before either replaces its file.
    std::unique_ptr<TAtomicFile> sql;
    if (!o.sqlFile.empty()) {
        sql = std::make_unique<TAtomicFile>(o.sqlFile);
        sql->Write(script);
    }
    std::unique_ptr<TAtomicFile> xml;
    if (!o.xmlFile.empty()) {
        xml = std::make_unique<TAtomicFile>(o.xmlFile);
        engine.SaveXMLLog(xml->TempPath());
    }
    if (sql)
        sql->Commit();
    if (xml)
        xml->Commit();

    // The script is then the no-records text in the run's character set;
    // the terminal gets the program's own.
    if (engine.Records().empty() && sql)
        Say(msgNoMatchedRecords);
    if (!sql) {
        std::fwrite(script.data(), 1, script.size(), stdout);
        if (std::fflush(stdout) != 0) {
            Say("Cannot write the script to standard output");
            return exFailure;
        }
    }
    return exDone;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    CliOptions options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "norvane-cli: " << e.what() << "\n"
                  << "Try 'norvane-cli --help' for more information.\n";
        return exUsage;
    }
    if (options.help) {
        std::cout << UsageText();
        return exDone;
    }
    if (options.version) {
        std::cout << "norvane-cli " << NORVANE_VERSION << "\n";
        return exDone;
    }
    try {
        return Run(options);
    } catch (const Exception& e) {
        Say(e.Message);
    } catch (const std::exception& e) {
        Say(e.what());
    }
    return exFailure;
}
