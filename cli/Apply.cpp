#include "cli/Apply.h"

#include "engine/Capplier.h"
#include "engine/Cselection.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// The first line of a state file.
const char kStateHeading[] = "# norvane-cli state: the log entries written so far, by log id";

// How far an apply has come, on a terminal, for logs of some size.
class TApplyProgress {
public:
    explicit TApplyProgress(bool aEnabled) : enabled(aEnabled) {}
    ~TApplyProgress() { Finish(); }
    void operator()(int total, int done)
    {
        if (!enabled || total < 500)
            return;
        const int percent = static_cast<int>(100LL * done / total);
        if (percent == shown)
            return;
        shown = percent;
        std::fprintf(stderr, "\rApplying: %d of %d entries (%d%%)", done, total, percent);
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

void PrintSummary(const Norvane::TApplySummary& summary, const CliOptions& o)
{
    // An apply names the source as the target knows it; an undo, the database.
    const std::string source = o.undo ? o.database : summary.sourceName;
    const char* done = o.undo ? "Undid" : "Applied";
    if (summary.entries == 0)
        std::printf("%s no entries: none of the period was left to %s ('%s').\n", done,
                    o.undo ? "undo" : "apply", source.c_str());
    else
        std::printf("%s %zu log %s of '%s' in %.1f s:\n", done, summary.entries,
                    summary.entries == 1 ? "entry" : "entries", source.c_str(), summary.seconds);
    for (const Norvane::TApplySummary::TTable& table : summary.tables)
        std::printf("  %-31s %8zu inserts %8zu updates %8zu deletes\n", table.name.c_str(), table.inserts,
                    table.updates, table.deletes);
    if (summary.restored > 0)
        std::printf("%zu triggers that an earlier run had left off were switched on first.\n", summary.restored);
    if (summary.triggers > 0)
        std::printf("%zu triggers of the changed tables were off meanwhile and are on again.\n", summary.triggers);
    if (summary.generators > 0)
        std::printf("%zu generators were moved up to the source's values.\n", summary.generators);
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
        throw NorvaneImpl::CEBookkeeping("Cannot read the state file \"" + file + "\". " + std::strerror(errno));
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string state = text.str();
    const std::string named = "\nsource=" + source + "\n";
    if (state.rfind(kStateHeading, 0) != 0)
        throw NorvaneImpl::CEBookkeeping("The file \"" + file + "\" is no state file of norvane-cli");
    if (state.find(named) == std::string::npos)
        throw NorvaneImpl::CEBookkeeping("The state file \"" + file + "\" belongs to another source than '" +
                                         source + "': give --source-name its source's name, or another file");
    return NorvaneImpl::TReceivedLog::FromText(state);
}

std::string StateText(const NorvaneImpl::TReceivedLog& log, const std::string& source)
{
    return std::string(kStateHeading) + "\nsource=" + source + "\n" + log.Text();
}

int RunApply(const CliOptions& o, const TSay& say, const TReport& report)
{
    using Norvane::TFailureKind;
    TApplyProgress progress(isatty(STDERR_FILENO) != 0);
    try {
        if (o.restoreTriggers) {
            const std::size_t restored = Norvane::CApplier::RestoreTriggers(
                o.target.empty() ? o.database : o.target, o.targetUser, o.targetPassword, o.targetCharset);
            std::printf("%zu triggers were switched on again.\n", restored);
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
        say(e.what());
        return 13;
    } catch (...) {
        const Norvane::TFailure failure = Norvane::DescribeFailure(std::current_exception());
        if (failure.kind == TFailureKind::Unforeseen || failure.kind == TFailureKind::Unknown)
            throw;
        progress.Finish();
        if (failure.kind == TFailureKind::Interrupted)
            say(o.undo ? "Interrupted: nothing was undone." : "Interrupted: nothing was applied.");
        else if (failure.kind == TFailureKind::Failed)
            say(failure.text);  // not the change log's failure, as a script's run words it
        else
            report(failure);
        return failure.exitStatus;
    }
}
