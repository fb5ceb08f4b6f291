// norvane-cli: the script engine for scheduled and scripted use.
#include "core/Charset.h"
#include "core/Resfuncs.h"
#include "cli/Apply.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/Terminal.h"
#include "db/Tdbmanager.h"
#include "db/Tsignalwatch.h"
#include "engine/Cfieldvalue.h"
#include "engine/Clogadmin.h"
#include "engine/Cnorvane.h"
#include "engine/Cselection.h"
#include "engine/Failure.h"
#include "locale/Messages.h"
#include "norvane/Version.h"
#include "res/TextIds.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

enum ExitCode {
    exDone = 0,
    exFailure = 1,
    exUsage = 2,
    // A failed run exits with its failure's status (engine/Failure.h).
    exSkipped = 8,  // done, but log entries that cannot be trusted were left out
    exNotWritten = 9,
    exTimedOut = 10
};

// Writes a line to standard error; the text is Windows-1251, or bytes of
// the encoding given.
void Say(const std::string& text, const std::string& encoding = "CP1251")
{
    std::string t = ForTerminal(text, encoding);
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


// Whether the failure of the run has been told already.
std::atomic<bool> reported{false};

// What an interrupted run says when the program ends at once, in the
// terminal's character set (made before the signal watch starts).
std::string interruptedText;

// A second signal ends the program at once, as does a run that has not
// ended a few seconds after it was stopped (TSignalWatch::kStuckAfter):
// whatever it waits for then, a connection being made or a pipe, it is not
// worth waiting any longer.
void OnSignal(int signal)
{
    static int signals = 0;  // the watch calls from one thread
    if (++signals >= 2)
        EndAbruptly(interruptedText, 128 + signal);
}

void OnStuck(int signal)
{
    const std::string text =
        signal ? interruptedText
               : ForTerminal(FormatMessage(msgTimedOut,
                                           {FormatMessage(msgNoAnswer, {std::to_string(TSignalWatch::TimedOut())})}));
    EndAbruptly(reported ? std::string() : text, signal ? 128 + signal : exTimedOut);
}

// A failure of the run, as the terminal shows it. The texts of the errors
// that name a log's tables and values are bytes of the run's encoding.
void Report(const Norvane::TFailure& failure, const std::string& encoding)
{
    using Norvane::TFailureKind;
    switch (failure.kind) {
    case TFailureKind::Interrupted:
        Say(msgInterrupted);
        return;
    case TFailureKind::TimedOut:
        Say(FormatMessage(msgTimedOut, {failure.text}));
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
    case TFailureKind::IncompleteValue:
    case TFailureKind::InvalidEntry:
    case TFailureKind::NoSQLForm:
    case TFailureKind::Conflict:
    case TFailureKind::Bookkeeping:
    case TFailureKind::TargetRefused:
    case TFailureKind::TriggersLeftOff:
        Say(failure.text, encoding);
        if (!failure.typeName.empty())
            Say(FormatMessage(msgSQLType, {failure.typeName}));
        return;
    default:
        break;
    }
    Say(failure.text);
    // A type without a literal is named in words on a line of its own.
    if (!failure.typeName.empty())
        Say(FormatMessage(msgSQLType, {failure.typeName}));
}

// Lists the log entries the run left out as invalid (their texts in the
// run's encoding); whether there were any.
bool ReportSkipped(const Norvane::CNorvane::TSkipped& skipped, const std::string& encoding)
{
    if (skipped.count == 0)
        return false;
    Say(skipped.count == 1 ? msgSkippedEntry : FormatMessage(msgSkippedEntries, {std::to_string(skipped.count)}));
    for (const std::string& message : skipped.first)
        Say("  " + message, encoding);
    if (skipped.count > skipped.first.size())
        Say("  " + FormatMessage(msgSkippedMore, {std::to_string(skipped.count - skipped.first.size())}));
    return true;
}

// Warns of the statements that find their row by too few logged values;
// the tables' names are bytes of the run's encoding.
void ReportPartialMatches(const Norvane::CNorvane::TPartialMatches& partial, const std::string& encoding)
{
    if (partial.statements == 0)
        return;
    std::string tables;
    for (const std::string& table : partial.tables)
        tables += (tables.empty() ? "" : ", ") + table;
    tables = ForTerminal(tables, encoding);
    const std::string count = std::to_string(partial.statements);
    std::string warning;
    if (partial.statements == 1)
        warning = FormatMessage(ForTerminal(msgPartialMatch), {tables});
    else if (partial.tables.size() == 1)
        warning = FormatMessage(ForTerminal(msgPartialMatchesTable), {count, tables});
    else
        warning = FormatMessage(ForTerminal(msgPartialMatchesTables), {count, tables});
    std::fwrite(warning.data(), 1, warning.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

int Run(const CliOptions& o)
{
    // The errors of the run are worded in its character set, as the names
    // and values they hold come.
    const TCharset charset = CharsetOf(o.charset);
    const NorvaneImpl::TScriptCharset errorTexts(charset.name, charset.encoding);

    // The outputs are written while the log is read and reach their
    // targets only when the whole run has succeeded (cli/Output.h), so that
    // a failed run writes nothing anywhere.
    std::unique_ptr<TOutput> script;
    std::unique_ptr<TOutput> xml;
    auto checkOutputs = [&] {
        if (script)
            script->CheckWritten();
        if (xml)
            xml->CheckWritten();
    };

    TProgressLine progress(msgReadingLog, isatty(STDERR_FILENO) != 0);
    // A write that failed stops the run at the next record, whatever the
    // engine made of it.
    Norvane::CNorvane engine([&](int& total, int& done) {
        checkOutputs();
        progress(total, done);
    });
    engine.SetDisableTriggers(o.disableTriggers);
    engine.SetSkipInvalid(o.skipInvalid);
    engine.SetSyncGenerators(o.syncGenerators);
    engine.SetFilter(o.filter);
    // The entries written before are left out; the file takes the ones
    // written now only once the script is out.
    NorvaneImpl::TReceivedLog written;
    std::size_t records = 0;
    try {
        if (!o.stateFile.empty()) {
            written = ReadState(o.stateFile, SourceName(o));
            engine.SetReceived(&written);
        }
        script = std::make_unique<TOutput>(o.sqlFile);
        if (!o.xmlFile.empty())
            xml = std::make_unique<TOutput>(o.xmlFile);
        records = engine.WriteLog(o.database, o.user, o.password, o.from, o.to, o.comments, o.undo,
                                  script->Stream(), xml ? xml->Stream() : nullptr, o.charset);
        // WriteLog has let go of the database: the outputs may wait for
        // their readers.
        checkOutputs();
        progress.Finish();
        if (!engine.GetXMLError().empty() && xml) {
            Say(engine.GetXMLError());
            return exFailure;
        }
        script->Finish();
        if (xml)
            xml->Finish();
        script->PassOn(o.timeout);
        if (xml)
            xml->PassOn(o.timeout);
        // A signal after the last entry still stops the run before any file
        // takes its place.
        TSignalWatch::StopIfCaught();
        TOutput::Commit({script.get(), xml.get()});
        if (!o.stateFile.empty())
            WriteFileAtomically(o.stateFile, StateText(written, SourceName(o)));
    } catch (...) {
        std::exception_ptr error = std::current_exception();
        // What the engine made of a failed write is not the failure.
        if (!TSignalWatch::Caught()) {
            try {
                checkOutputs();
            } catch (...) {
                error = std::current_exception();
            }
        }
        const Norvane::TFailure failure = Norvane::DescribeFailure(error);
        switch (failure.kind) {
        case Norvane::TFailureKind::Unforeseen:
        case Norvane::TFailureKind::Unknown:
            std::rethrow_exception(error);
        default:
            break;
        }
        progress.Finish();
        Report(failure, charset.encoding);
        reported = true;
        return failure.exitStatus;
    }

    // The script is then the no-records text in the run's character set;
    // the terminal gets the program's own.
    if (records == 0 && !o.sqlFile.empty())
        Say(msgNoMatchedRecords);
    ReportPartialMatches(engine.PartialMatches(), charset.encoding);
    return ReportSkipped(engine.Skipped(), charset.encoding) ? exSkipped : exDone;
}

// A standard stream that was closed when the program started, now open on
// /dev/null: what the program opens itself must never take its number,
// or messages for standard error would land in a database or an output.
bool streamClosed[3] = {false, false, false};

void OpenClosedStandardStreams()
{
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        streamClosed[fd] = true;
        // The lowest free number: this one.
        if (open("/dev/null", O_RDWR) != fd)
            std::_Exit(exFailure);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardStreams();
    std::setlocale(LC_ALL, "");
    // The system's reasons (strerror) go into the messages of --language,
    // which are Windows-1251: they are taken in English, which every
    // character set holds, not in the locale's language and character set.
    std::setlocale(LC_MESSAGES, "C");
    TCommandLine commandLine;
    CliOptions options;
    try {
        options = commandLine.Parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "norvane-cli: " << e.what() << "\n"
                  << "Try 'norvane-cli --help' for more information.\n";
        return exUsage;
    }
    // One language for every text from here on; the command line's own
    // (usage errors, --help) is English.
    if ((options.log.action.empty() ? options.language : options.log.language) == "ru")
        UseRussian();
    interruptedText = ForTerminal(options.log.action.empty() ? msgInterrupted : msgLogInterrupted);
    if ((options.help || options.version || options.sqlFile.empty()) && streamClosed[STDOUT_FILENO]) {
        Say(FormatMessage(msgCannotWritePath, {msgStandardOutput, std::strerror(EBADF)}));
        return exNotWritten;
    }
    if (options.help) {
        std::cout << commandLine.Help();
        return exDone;
    }
    if (options.version) {
        std::cout << "norvane-cli " << NORVANE_VERSION << "\n";
        return exDone;
    }
    if (!options.log.action.empty()) {
        std::signal(SIGPIPE, SIG_IGN);
        // Between the batches of a purge a signal stops it; a statement under
        // way is rolled back with the program when it does not end soon.
        const TSignalWatch signals(OnSignal, OnStuck);
        return RunLogCommand(options.log);
    }
    // A reader of a pipe output that goes away fails the write (EPIPE), and
    // the run ends as any failed run does, its temporary files removed.
    std::signal(SIGPIPE, SIG_IGN);
    // Ctrl+C and SIGTERM stop a run; without the watch the client library
    // would shut the connection down under it. The watch also bounds each
    // database call by --timeout.
    const TSignalWatch signals(OnSignal, OnStuck, options.timeout);
    const TSay say = [](const std::string& text) { Say(text); };
    const TReport report = [&options](const Norvane::TFailure& failure) {
        Report(failure, CharsetOf(options.charset).encoding);
    };
    int status = exFailure;
    try {
        status = options.apply ? RunApply(options, say, report) : Run(options);
    } catch (const std::exception&) {
        Say(Norvane::DescribeFailure(std::current_exception()).text);
    }
    // Not left to the end of the process, where the embedded engine shuts
    // down with the connection still there, and, after a signal, at times
    // never ends.
    TDBManager::GetInstance().Disconnect();
    return status;
}
