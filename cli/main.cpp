// norvane-cli: the script engine for scheduled and scripted use.
#include "app/core/AtomicFile.h"
#include "app/core/Charset.h"
#include "app/core/Resfuncs.h"
#include "cli/Options.h"
#include "db/Tdbmanager.h"
#include "db/Tsignalwatch.h"
#include "engine/Cnorvane.h"
#include "engine/Failure.h"
#include "locale/Messages.h"
#include "norvane/Version.h"
#include "res/TextIds.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

namespace {

enum ExitCode {
    exDone = 0,
    exFailure = 1,
    exUsage = 2,
    // A failed run exits with its failure's status (engine/Failure.h).
    exSkipped = 8  // done, but log entries that cannot be trusted were left out

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
        const std::string line =
            FormatMessage(msgReadingLog, {std::to_string(done), std::to_string(total), std::to_string(percent)});
        std::fputs(("\r" + ForTerminal(line)).c_str(), stderr);
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

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

// Opens the temporary file of an output for writing.
TFile OpenTemp(const TAtomicFile& target, const std::string& name)
{
    TFile file(std::fopen(target.TempPath().c_str(), "wb"));
    if (!file)
        throw Exception(FormatMessage(msgCannotCreateFile, {name, std::strerror(errno)}));
    return file;
}

void Close(TFile& file, const std::string& name)
{
    if (std::fclose(file.release()) != 0)
        throw Exception(FormatMessage(msgCannotWriteFile, {name, std::strerror(errno)}));
}

// The temporary files of the outputs. A first Ctrl+C stops the run, which
// then removes them; a second one ends the program at once (a connection
// being made cannot be cut short) and removes them itself.
std::mutex tempFilesMutex;
std::vector<std::string> tempFiles;

void KeepTrackOf(const TAtomicFile& file)
{
    const std::lock_guard<std::mutex> lock(tempFilesMutex);
    tempFiles.push_back(file.TempPath());
}

void OnSignal(int signal)
{
    static int signals = 0;  // the watch calls from one thread
    if (++signals < 2)
        return;
    const std::lock_guard<std::mutex> lock(tempFilesMutex);
    for (const std::string& path : tempFiles)
        unlink(path.c_str());
    std::_Exit(128 + signal);
}

// A failure of the run, as the terminal shows it.
void Report(const Norvane::TFailure& failure)
{
    using Norvane::TFailureKind;
    switch (failure.kind) {
    case TFailureKind::Interrupted:
        Say(msgInterrupted);
        return;
    case TFailureKind::NoConnect:
        Say(msgNoConnect);
        break;
    case TFailureKind::Charset:
        Say(FormatMessage(msgCharsetCli, {failure.charset, CharsetThatReads(failure.charset)}));
        break;
    case TFailureKind::NoLog:
        Say(msgNoLog);
        break;
    case TFailureKind::Failed:
        // The text alone ("Range check error" for an entry without an
        // operation letter) does not say that the log was being read.
        Say(msgCannotReadLog);
        break;
    default:
        break;
    }
    Say(failure.text);
    // A type without a literal is named in words on a line of its own.
    if (!failure.typeName.empty())
        Say(FormatMessage(msgSQLType, {failure.typeName}));
}

// Lists the log entries the run left out as invalid; whether there were any.
bool ReportSkipped(const Norvane::CNorvane::TSkipped& skipped)
{
    if (skipped.count == 0)
        return false;
    Say(skipped.count == 1 ? msgSkippedEntry : FormatMessage(msgSkippedEntries, {std::to_string(skipped.count)}));
    for (const std::string& message : skipped.first)
        Say("  " + message);
    if (skipped.count > skipped.first.size())
        Say("  " + FormatMessage(msgSkippedMore, {std::to_string(skipped.count - skipped.first.size())}));
    return true;
}

int Run(const CliOptions& o)
{
    if (o.language == "ru")
        UseRussian();

    // The outputs are written while the log is read, each to a temporary
    // file that replaces its target only when the whole run has succeeded;
    // a script for standard output waits in a temporary file of its own, so
    // that a failed run writes nothing anywhere.
    std::unique_ptr<TAtomicFile> sql;
    TFile script;
    if (!o.sqlFile.empty()) {
        sql = std::make_unique<TAtomicFile>(o.sqlFile);
        KeepTrackOf(*sql);
        script = OpenTemp(*sql, o.sqlFile);
    } else {
        script.reset(std::tmpfile());
        if (!script)
            throw Exception(FormatMessage(msgCannotCreateTemp, {std::strerror(errno)}));
    }
    std::unique_ptr<TAtomicFile> xml;
    TFile xmlLog;
    if (!o.xmlFile.empty()) {
        xml = std::make_unique<TAtomicFile>(o.xmlFile);
        KeepTrackOf(*xml);
        xmlLog = OpenTemp(*xml, o.xmlFile);
    }

    Progress progress(isatty(STDERR_FILENO) != 0);
    Norvane::CNorvane engine([&](int& total, int& done) { progress(total, done); });
    engine.SetDisableTriggers(o.disableTriggers);
    engine.SetSkipInvalid(o.skipInvalid);
    std::size_t records = 0;
    try {
        records = engine.WriteLog(o.database, o.user, o.password, o.from, o.to + 1.0, o.comments, o.undo,
                                  script.get(), xmlLog.get(), o.charset);
        // A signal after the last entry still stops the run before any file
        // takes its place.
        TSignalWatch::StopIfCaught();
    } catch (...) {
        const Norvane::TFailure failure = Norvane::DescribeFailure(std::current_exception());
        switch (failure.kind) {
        case Norvane::TFailureKind::Unforeseen:
        case Norvane::TFailureKind::Unknown:
            throw;
        default:
            break;
        }
        progress.Finish();
        Report(failure);
        return failure.exitStatus;
    }
    progress.Finish();
    if (!engine.GetXMLError().empty() && xml) {
        Say(engine.GetXMLError());
        return exFailure;
    }

    if (xmlLog)
        Close(xmlLog, o.xmlFile);
    if (sql) {
        Close(script, o.sqlFile);
        sql->Commit();
    }
    if (xml)
        xml->Commit();

    // The script is then the no-records text in the run's character set;
    // the terminal gets the program's own.
    if (records == 0 && sql)
        Say(msgNoMatchedRecords);
    if (!sql) {
        std::rewind(script.get());
        char buffer[1 << 16];
        std::size_t size = 0;
        while ((size = std::fread(buffer, 1, sizeof buffer, script.get())) > 0)
            std::fwrite(buffer, 1, size, stdout);
        if (std::ferror(script.get()) || std::fflush(stdout) != 0) {
            Say(msgCannotWriteOutput);
            return exFailure;
        }
    }
    return ReportSkipped(engine.Skipped()) ? exSkipped : exDone;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    TCommandLine commandLine;
    CliOptions options;
    try {
        options = commandLine.Parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "norvane-cli: " << e.what() << "\n"
                  << "Try 'norvane-cli --help' for more information.\n";
        return exUsage;
    }
    if (options.help) {
        std::cout << commandLine.Help();
        return exDone;
    }
    if (options.version) {
        std::cout << "norvane-cli " << NORVANE_VERSION << "\n";
        return exDone;
    }
    // Ctrl+C and SIGTERM stop a run; without the watch the client library
    // would shut the connection down under it.
    const TSignalWatch signals(OnSignal);
    try {
        return Run(options);
    } catch (const FileError& e) {
        Say(FormatMessage(e.creating ? msgCannotCreateFile : msgCannotWriteFile, {e.path, e.reason}));
    } catch (const std::exception&) {
        Say(Norvane::DescribeFailure(std::current_exception()).text);
    }
    return exFailure;
}
