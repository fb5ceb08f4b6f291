#include "cli/Apply.h"

#include "core/Charset.h"
#include "cli/Terminal.h"
#include "engine/Capplier.h"
#include "engine/Cselection.h"
#include "locale/Messages.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// The first line of a state file.
const char kStateHeading[] = "# norvane-cli state: the log entries written so far, by log id";

// A line of the summary on standard output, in the terminal's character set.
void Print(const std::string& line) { std::printf("%s\n", line.c_str()); }

// The message, in the terminal's character set, with the texts (the
// terminal's already) filled in.
std::string Said(const std::string& message, std::initializer_list<std::string> args)
{
    return FormatMessage(ForTerminal(message), args);
}

// The number as printf's %*zu writes it: right-aligned in the width.
std::string Aligned(std::size_t number, int width)
{
    char text[32];
    std::snprintf(text, sizeof text, "%*zu", width, number);
    return text;
}

void PrintSummary(const Norvane::TApplySummary& summary, const CliOptions& o)
{
    // An apply names the source as the target knows it; an undo, the database.
    const std::string source = o.undo ? o.database : summary.sourceName;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", summary.seconds);
    const std::string count = std::to_string(summary.entries);
    if (summary.entries == 0)
        Print(Said(o.undo ? msgUndidNone : msgAppliedNone, {source}));
    else if (summary.entries == 1)
        Print(Said(o.undo ? msgUndidOne : msgAppliedOne, {source, seconds}));
    else
        Print(Said(o.undo ? msgUndidMany : msgAppliedMany, {count, source, seconds}));
    // The tables' names come in the source's character set.
    const std::string encoding = CharsetOf(o.charset).encoding;
    for (const Norvane::TApplySummary::TTable& table : summary.tables) {
        std::string name = table.name;
        name.resize(std::max<std::size_t>(name.size(), 31), ' ');
        Print("  " + Said(msgAppliedTable, {ForTerminal(name, encoding), Aligned(table.inserts, 8),
                                            Aligned(table.updates, 8), Aligned(table.deletes, 8)}));
    }
    if (summary.restored > 0)
        Print(Said(msgTriggersRestoredFirst, {std::to_string(summary.restored)}));
    if (summary.triggers > 0)
        Print(Said(msgTriggersBackOn, {std::to_string(summary.triggers)}));
    if (summary.generators > 0)
        Print(Said(msgGeneratorsMoved, {std::to_string(summary.generators)}));
    std::fflush(stdout);
}

}  // namespace

std::string SourceName(const CliOptions& options)
{
    return options.sourceName.empty() ? NorvaneImpl::DefaultSourceName(options.database) : options.sourceName;
}

NorvaneImpl::TReceivedLog ReadState(const std::string& file, const std::string& source)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (errno == ENOENT)
            return {};
        throw NorvaneImpl::CEBookkeeping(NorvaneImpl::ScriptMessage(msgCannotReadState, {file, std::strerror(errno)}));
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string state = text.str();
    const std::string named = "\nsource=" + source + "\n";
    if (state.rfind(kStateHeading, 0) != 0)
        throw NorvaneImpl::CEBookkeeping(NorvaneImpl::ScriptMessage(msgNoStateFile, {file}));
    if (state.find(named) == std::string::npos)
        throw NorvaneImpl::CEBookkeeping(NorvaneImpl::ScriptMessage(msgStateOtherSource, {file, source}));
    return NorvaneImpl::TReceivedLog::FromText(state);
}

std::string StateText(const NorvaneImpl::TReceivedLog& log, const std::string& source)
{
    return std::string(kStateHeading) + "\nsource=" + source + "\n" + log.Text();
}

int RunApply(const CliOptions& o, const TSay& say, const TReport& report)
{
    using Norvane::TFailureKind;
    TProgressLine progress(msgApplying, isatty(STDERR_FILENO) != 0);
    try {
        if (o.restoreTriggers) {
            const std::size_t restored = Norvane::CApplier::RestoreTriggers(
                o.target.empty() ? o.database : o.target, o.targetUser, o.targetPassword, o.targetCharset);
            Print(Said(msgTriggersSwitchedOn, {std::to_string(restored)}));
            return 0;
        }
        Norvane::TApplyOptions options;
        options.source = o.database;
        options.user = o.user;
        options.password = o.password;
        options.charset = o.charset;
        options.target = o.target;
        options.targetUser = o.targetUser;
        options.targetPassword = o.targetPassword;
        options.targetCharset = o.targetCharset;
        options.sourceName = o.sourceName;
        options.periodBegin = o.from;
        options.periodEnd = o.to;
        options.filter = o.filter;
        options.undo = o.undo;
        options.keyOnly = o.keyOnly;
        const Norvane::TApplySummary summary =
            Norvane::CApplier(options, [&progress](int& total, int& done) { progress(total, done); }).Run();
        progress.Finish();
        PrintSummary(summary, o);
        return 0;
    } catch (const Norvane::CETriggersLeftOff& e) {
        // Whatever else happened, a signal included, this is what needs doing.
        progress.Finish();
        report({TFailureKind::TriggersLeftOff, e.what(), {}, 13, {}});
        return 13;
    } catch (...) {
        const Norvane::TFailure failure = Norvane::DescribeFailure(std::current_exception());
        if (failure.kind == TFailureKind::Unforeseen || failure.kind == TFailureKind::Unknown)
            throw;
        progress.Finish();
        if (failure.kind == TFailureKind::Interrupted)
            say(o.undo ? msgInterruptedUndo : msgInterruptedApply);
        else if (failure.kind == TFailureKind::Failed)
            say(failure.text);  // not the change log's failure, as a script's run words it
        else
            report(failure);
        return failure.exitStatus;
    }
}
