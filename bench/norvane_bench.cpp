// norvane-bench: how long a run takes and how much memory it needs for change
// logs of growing size, against the cost of merely reading the same log rows.
//
// For each size it builds a database with the demo shop's tables, the change
// log and its triggers (scripts/demo), makes that many logged changes inside
// the database, and then measures, each in a process of its own so that the
// peak memory belongs to one measurement alone:
//   the run:   ReadLog over the whole period, both scripts and the XML text,
//              stage by stage: reading the log into records, building the
//              XML log, the reproducing script, the undo script, the XML text;
//   the floor: the log's three tables read whole by three plain SELECTs, in
//              storage order, every value fetched as bytes, through the same
//              database manager: the least any run can take;
//   the CLI:   norvane-cli writing the reproducing script and the XML log to
//              files, and once more the undo script and the XML log: the
//              streamed path, which holds no records.
//   apply:     norvane-cli apply of the whole log to a sister with the demo
//              shop's tables, its time and peak memory; up to 100,000
//              entries also isql-fb -b running the reproducing script with
//              --disable-triggers on another sister, for comparison.
//   the window: norvane-bench-window (beside this program) running the main
//              window offscreen over the whole log, both pages looked at and
//              saved: its peak memory, the time from F9 to the first lines
//              on the SQL page, the longest time it handled no event, and
//              how many runs began with its action triggered every 10 ms.
// The run above is the held path (ReadLog): its records, XML text and script
// stay in memory. At 10,000 entries (measured for the purpose when no size
// asked for is that small) the streamed files are compared byte for byte
// with the held texts.
// Embedded always; through the server on 127.0.0.1 too when
// NORVANE_TEST_SERVER is set (scripts/fbserver.sh), directly and through a
// loopback relay that adds a round trip of a LAN (1 ms) and of a WAN (20 ms)
// to every exchange with the server.
#include "tests/support/Delayproxy.h"
#include "ProcStatus.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Process.h"

#include "core/ProgramPath.h"
#include "db/Tdbmanager.h"
#include "engine/Cnorvane.h"
#include "locale/Regional.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace NorvaneTest;

namespace {

const char* const kUsage =
    "usage: norvane-bench [--sizes N[,N...]] [--engine embedded|server|both]\n"
    "                     [--delays MS[,MS...]] [--delayed-sizes N[,N...]]\n"
    "  --sizes          numbers of log entries to measure (default 1000,10000,100000)\n"
    "  --engine         embedded (default without NORVANE_TEST_SERVER), server, or both\n"
    "                   (default with NORVANE_TEST_SERVER set by scripts/fbserver.sh)\n"
    "  --delays         round trips in ms added by a relay in front of the server\n"
    "                   (default 1,20; 0 for none)\n"
    "  --delayed-sizes  numbers of log entries to measure behind the relay (default 2000)\n";

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// One database to measure: where it is and how to log in.
struct Target {
    std::string engine;    // "embedded", "server" or "server +N ms"
    std::string location;  // for isql, which builds the database
    std::string user;
    std::string password;
    fs::path folder;       // where isql's scripts and outputs go
    std::string measured;  // for the measurements: the location, or the relay's
};

// Runs an SQL script with isql-fb, logged in to the database when connect
// is set; throws with isql's output on failure.
void Isql(const Target& target, const std::string& script, bool connect)
{
    RunIsql(target.folder, script, "WIN1251",
            connect ? IsqlLogin(target.location, target.user, target.password) : std::vector<std::string>{});
}

void CreateLoggedDatabase(const Target& target, int entries)
{
    Isql(target, CreateDatabaseSql(target.location, target.user, target.password), false);
    Isql(target, LoggedChangesSql(entries), true);
}

void DropDatabase(const Target& target)
{
    Isql(target, "drop database;\n", true);
}

// The whole period the log can hold, as the window passes it: from the first
// day the date fields accept to the day after tomorrow.
TDateTime PeriodBegin() { return EncodeDate(1901, 1, 1); }
TDateTime PeriodEnd() { return Date() + 2.0; }

// Child: one run of the engine, stage by stage. Prints "key value" lines.
// Reading ends with the last progress call, which comes after the last record
// is made and before the XML log is built.
int MeasureRun(const std::string& location, const std::string& user, const std::string& password,
               const std::string& outputs)
{
    const long startRss = StatusKiB("VmRSS");
    std::string shown;
    Clock::time_point lastProgress{};
    long readRss = 0;
    Norvane::CNorvane engine(
        [&](int& total, int& done) {
            if (done == total) {
                lastProgress = Clock::now();
                readRss = StatusKiB("VmRSS");
            }
        },
        [&shown](const std::string& text) { shown += text; });
    const auto t0 = Clock::now();
    engine.ReadLog(location, user, password, PeriodBegin(), PeriodEnd(), true);
    const auto t1 = Clock::now();
    const long readLogRss = StatusKiB("VmRSS");
    if (lastProgress == Clock::time_point{})
        lastProgress = t1;
    const std::string reproducing = engine.GetReproducingScript();
    const auto t2 = Clock::now();
    const std::string undo = engine.GetUndoScript();
    const auto t3 = Clock::now();
    const std::string xml = engine.GetXMLLog();
    const auto t4 = Clock::now();
    if (!shown.empty())
        std::cerr << "norvane-bench: the engine reported: " << shown << "\n";
    if (!outputs.empty())
        for (const auto& [suffix, text] : {std::pair{".held.sql", &reproducing}, std::pair{".held-undo.sql", &undo},
                                           std::pair{".held.xml", &xml}}) {
            std::ofstream out(outputs + suffix, std::ios::binary);
            out << *text;
        }
    std::cout << "records " << engine.Records().size() << "\n"
              << "reading " << Seconds(t0, lastProgress) << "\n"
              << "xmllog " << Seconds(lastProgress, t1) << "\n"
              << "reproducing " << Seconds(t1, t2) << "\n"
              << "undo " << Seconds(t2, t3) << "\n"
              << "xmltext " << Seconds(t3, t4) << "\n"
              << "script_bytes " << reproducing.size() + undo.size() << "\n"
              << "xml_bytes " << xml.size() << "\n"
              << "start_rss " << startRss << "\n"
              << "read_rss " << readRss << "\n"
              << "readlog_rss " << readLogRss << "\n"
              << "peak_rss " << StatusKiB("VmHWM") << "\n";
    return 0;
}

// Child: the floor, the least a run can take: the log's three tables read
// whole, in storage order, without a join or a sort, through the same
// database manager; every row is fetched with all its values as the client
// library gives their bytes (a data set stores each row so, BLOB contents
// included), and none is converted to text.
int MeasureFloor(const std::string& location, const std::string& user, const std::string& password)
{
    const char* const queries[] = {"select * from ibe$log_tables", "select * from ibe$log_fields",
                                   "select * from ibe$log_keys"};
    const auto t0 = Clock::now();
    TDBManager& manager = TDBManager::GetInstance();
    manager.Connect(location, user, password);
    manager.StartTransaction();
    long long rows = 0;
    for (const char* query : queries) {
        std::unique_ptr<TDataSet> data = manager.OpenQuery(query, nullptr, false);
        for (; !data->Eof(); data->Next())
            ++rows;
    }
    const auto t1 = Clock::now();
    manager.Rollback();
    std::cout << "floor " << Seconds(t0, t1) << "\n"
              << "floor_rows " << rows << "\n";
    return 0;
}

std::map<std::string, double> ParseFigures(const std::string& text)
{
    std::map<std::string, double> figures;
    std::istringstream in(text);
    std::string key;
    double value = 0;
    while (in >> key >> value)
        figures[key] = value;
    return figures;
}

// A child's standard output into the file, read back when it ends; its
// standard error reaches this program's.
TProcessOptions OutputTo(const fs::path& file)
{
    TProcessOptions options{file};
    options.inheritErrors = true;
    return options;
}

std::map<std::string, double> RunChild(const char* mode, const Target& target, const std::string& outputs = {})
{
    std::vector<std::string> args = {ExecutablePath(), "--child", mode, target.measured, target.user, target.password};
    if (!outputs.empty())
        args.push_back(outputs);
    const TProcessResult child = RunProcess(args, OutputTo(target.folder / "bench-child.out"));
    if (!child.Succeeded())
        throw std::runtime_error(std::string("the ") + mode + " measurement failed");
    std::map<std::string, double> figures = ParseFigures(child.output);
    figures["maxrss"] = static_cast<double>(child.maxRssKiB);
    return figures;
}

// norvane-cli beside this program, writing the script (the undo script when
// asked) and the XML log of the whole log to files named by prefix. Its time
// from start to end and its peak resident memory.
std::map<std::string, double> RunCli(const Target& target, bool undo, const std::string& prefix)
{
    const std::string program = (fs::path(ExecutablePath()).parent_path() / "norvane-cli").string();
    std::vector<std::string> args = {program, "-d", target.measured, "-u", target.user};
    if (!target.password.empty())
        args.insert(args.end(), {"-p", target.password});
    args.insert(args.end(), {"--to", IsoDate(PeriodEnd() - 1.0), "--sql", prefix + ".sql", "--xml",
                             prefix + ".xml"});
    if (undo)
        args.push_back("--undo");
    const auto t0 = Clock::now();
    const TProcessResult child = RunProcess(args, {target.folder / "bench-cli.out"});
    const double seconds = Seconds(t0, Clock::now());
    if (!child.Succeeded())
        throw std::runtime_error("norvane-cli failed:\n" + child.output);
    return {{"seconds", seconds}, {"maxrss", static_cast<double>(child.maxRssKiB)}};
}

// A database beside the measured one, on the same engine: its location
// with the file name replaced.
Target Sibling(const Target& target, const std::string& name)
{
    Target sibling = target;
    const std::size_t slash = target.location.find_last_of("/\\:");
    sibling.location = target.location.substr(0, slash + 1) + name + ".fdb";
    sibling.measured = sibling.location;
    return sibling;
}

// The demo shop's tables without a change log: a sister to apply to.
void CreateSister(const Target& sister)
{
    Isql(sister, CreateDatabaseSql(sister.location, sister.user, sister.password), false);
    Isql(sister, ReadSource("scripts/demo/schema.sql"), true);
}

// Sizes up to this one also time isql-fb running the same changes.
constexpr int kIsqlSizeLimit = 100000;

// norvane-cli apply of the whole log to a new sister, and for comparison
// isql-fb -b running the reproducing script with --disable-triggers on
// another: each one's time from start to end, and apply's peak memory.
std::map<std::string, double> MeasureApply(const Target& target, int entries)
{
    const fs::path folder = fs::path(ExecutablePath()).parent_path();
    const std::string cli = (folder / "norvane-cli").string();
    auto login = [&target](std::vector<std::string> args) {
        args.insert(args.end(), {"-u", target.user});
        if (!target.password.empty())
            args.insert(args.end(), {"-p", target.password});
        return args;
    };
    const Target sister = Sibling(target, "bench-sister-" + std::to_string(::getpid()));
    std::map<std::string, double> figures;
    CreateSister(sister);
    try {
        std::vector<std::string> args = login({cli, "apply", "-d", target.measured});
        args.insert(args.end(), {"--to", IsoDate(PeriodEnd() - 1.0), "--target", sister.location});
        const auto t0 = Clock::now();
        const TProcessResult apply = RunProcess(args, {target.folder / "bench-apply.out"});
        figures["apply"] = Seconds(t0, Clock::now());
        figures["apply_rss"] = static_cast<double>(apply.maxRssKiB);
        if (!apply.Succeeded())
            throw std::runtime_error("norvane-cli apply failed:\n" + apply.output);
    } catch (...) {
        DropDatabase(sister);
        throw;
    }
    DropDatabase(sister);
    if (entries > kIsqlSizeLimit)
        return figures;

    const std::string script = (target.folder / "bench-apply.sql").string();
    std::vector<std::string> args = login({cli, "-d", target.measured});
    args.insert(args.end(), {"--to", IsoDate(PeriodEnd() - 1.0), "--no-comments", "--disable-triggers",
                             "--sql", script});
    if (!RunProcess(args, {target.folder / "bench-apply.out"}).Succeeded())
        throw std::runtime_error("norvane-cli could not write the script for isql");
    CreateSister(sister);
    try {
        std::vector<std::string> isql = {"isql-fb", "-b", "-q", "-ch", "WIN1251", "-i", script};
        for (const std::string& argument : IsqlLogin(sister.location, sister.user, sister.password))
            isql.push_back(argument);
        const auto t0 = Clock::now();
        const TProcessResult run = RunProcess(isql, {target.folder / "bench-isql.out"});
        figures["isql"] = Seconds(t0, Clock::now());
        if (!run.Succeeded())
            throw std::runtime_error("isql-fb failed on the script:\n" + run.output.substr(0, 2000));
    } catch (...) {
        fs::remove(script);
        DropDatabase(sister);
        throw;
    }
    fs::remove(script);
    DropDatabase(sister);
    return figures;
}

std::map<std::string, double> RunWindow(const Target& target)
{
    const fs::path program = fs::path(ExecutablePath()).parent_path() / "norvane-bench-window";
    if (!fs::exists(program))
        return {};
    const TProcessResult child = RunProcess({program.string(), target.measured, target.user, target.password},
                                            OutputTo(target.folder / "bench-window.out"));
    if (!child.Succeeded())
        throw std::runtime_error("the window measurement failed:\n" + child.output);
    return ParseFigures(child.output);
}

// The streamed files against the held texts, byte for byte.
void CompareOutputs(const std::string& prefix, int entries)
{
    for (const auto& [streamed, held] : {std::pair{".sql", ".held.sql"}, std::pair{"-undo.sql", ".held-undo.sql"},
                                         std::pair{".xml", ".held.xml"}, std::pair{"-undo.xml", ".held.xml"}}) {
        const bool same = ReadFile(prefix + streamed) == ReadFile(prefix + held);
        std::printf("          %s at %d entries: streamed %s %s the held text\n", same ? "ok" : "! DIFFERENT", entries,
                    (std::string("norvane-cli") + streamed).c_str(), same ? "equals" : "differs from");
        if (!same)
            throw std::runtime_error("the streamed and the held outputs differ");
    }
}

void PrintHeader(const Target& target)
{
    std::printf("\n%s (%s)\n", target.engine.c_str(),
                target.engine == "embedded" ? "in-process engine" : target.measured.c_str());
    std::printf("%9s %8s | %8s %8s %9s | %8s %8s %8s %8s %8s | %10s %9s | %8s %8s %8s %8s | %8s %9s\n",
                "entries", "build s", "floor s", "read s", "read/flr", "run s", "read %", "XML log%", "scripts%",
                "XMLtext%", "entries/s", "peak MiB", "cli/flr", "undo/flr", "cli MiB", "undo MiB", "held/flr",
                "KiB/entry");
}

// The streamed and the held outputs are compared at this size.
constexpr int kCompareSize = 10000;

// One size: the floor, the held run, the CLI and apply; prints a line of the
// table, or only the comparison when compareOnly. Returns the CLI's peak in
// KiB; apply's goes to applyPeak.
double Measure(const Target& target, int entries, bool compareOnly = false, double* applyPeak = nullptr)
{
    const auto b0 = Clock::now();
    CreateLoggedDatabase(target, entries);
    const double build = Seconds(b0, Clock::now());

    const std::string prefix = (target.folder / "bench-output").string();
    const bool compare = entries == kCompareSize;
    std::map<std::string, double> floor, run, cli, cliUndo, window, apply;
    try {
        if (!compareOnly)
            floor = RunChild("floor", target);
        // Applied through the relay, every entry would wait out its delay.
        if (!compareOnly && target.measured == target.location)
            apply = MeasureApply(target, entries);
        run = RunChild("run", target, compare ? prefix : std::string());
        cli = RunCli(target, false, prefix);
        cliUndo = RunCli(target, true, prefix + "-undo");
        if (compare)
            CompareOutputs(prefix, entries);
        if (!compareOnly)
            window = RunWindow(target);
        for (const char* suffix : {".sql", ".xml", "-undo.sql", "-undo.xml", ".held.sql", ".held-undo.sql", ".held.xml"})
            fs::remove(prefix + suffix);
    } catch (...) {
        try {
            DropDatabase(target);
        } catch (const std::exception&) {
            // the first failure is the one to report
        }
        throw;
    }
    DropDatabase(target);
    if (compareOnly)
        return cli["maxrss"];

    const double scripts = run["reproducing"] + run["undo"];
    const double total = run["reading"] + run["xmllog"] + scripts + run["xmltext"];
    auto share = [total](double part) { return total > 0 ? 100.0 * part / total : 0.0; };
    auto ratio = [&floor](double seconds) { return floor["floor"] > 0 ? seconds / floor["floor"] : 0.0; };
    std::printf("%9d %8.2f | %8.3f %8.3f %9.2f | %8.2f %8.1f %8.1f %8.1f %8.1f | %10.0f %9.1f | %8.2f %8.2f %8.1f "
                "%8.1f | %8.2f %9.2f\n",
                entries, build, floor["floor"], run["reading"], ratio(run["reading"]), total, share(run["reading"]),
                share(run["xmllog"]), share(scripts), share(run["xmltext"]), total > 0 ? entries / total : 0.0,
                run["maxrss"] / 1024.0, ratio(cli["seconds"]), ratio(cliUndo["seconds"]), cli["maxrss"] / 1024.0,
                cliUndo["maxrss"] / 1024.0, ratio(total), (run["peak_rss"] - run["start_rss"]) / entries);
    if (static_cast<int>(run["records"]) != entries)
        std::printf("          ! the run read %.0f records, not %d\n", run["records"], entries);
    std::printf("          stages: reading %.3f s, XML log %.3f s, reproducing %.3f s, undo %.3f s, XML text %.3f s\n"
                "          memory: %.1f MiB after reading, %.1f MiB with the XML log; scripts %.1f MiB,\n"
                "          XML text %.1f MiB; the floor read %.0f rows, peak %.1f MiB\n",
                run["reading"], run["xmllog"], run["reproducing"], run["undo"], run["xmltext"],
                run["read_rss"] / 1024.0, run["readlog_rss"] / 1024.0, run["script_bytes"] / 1048576.0,
                run["xml_bytes"] / 1048576.0, floor["floor_rows"], floor["maxrss"] / 1024.0);
    std::printf("          CLI: script and XML log %.3f s, undo script and XML log %.3f s\n", cli["seconds"],
                cliUndo["seconds"]);
    if (!apply.empty()) {
        if (applyPeak)
            *applyPeak = apply["apply_rss"];
        std::printf("          apply: %.3f s, peak %.1f MiB", apply["apply"], apply["apply_rss"] / 1024.0);
        if (apply.count("isql"))
            std::printf("; isql-fb -b on the --disable-triggers script: %.3f s; apply/isql %.2f", apply["isql"],
                        apply["apply"] / apply["isql"]);
        std::printf("\n");
    }
    if (!window.empty())
        std::printf("          window: peak %.1f MiB (%.1f MiB above idle) with both pages looked at and saved\n"
                    "          (%.1f MiB script, %.1f MiB XML log); F9 to the first lines %.2f s, %.0f ms after\n"
                    "          the run's end; longest time without events %.0f ms to the first lines, %.0f ms\n"
                    "          after (XML page, saves); runs begun %.0f; all in %.1f s\n",
                    window["window_peak"] / 1024.0, (window["window_peak"] - window["window_idle"]) / 1024.0,
                    window["window_sql_bytes"] / 1048576.0, window["window_xml_bytes"] / 1048576.0,
                    window["window_first_lines"], window["window_after_run_ms"], window["window_gap_ms"],
                    window["window_save_gap_ms"], window["window_runs"], window["window_seconds"]);
    std::fflush(stdout);
    return std::max(cli["maxrss"], cliUndo["maxrss"]);
}

// A comma-separated list of whole numbers from least up.
std::vector<int> ParseSizes(const std::string& text, long least = 1)
{
    std::vector<int> sizes;
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        const long value = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || value < least || value > 10000000)
            throw std::invalid_argument("not a size: '" + item + "'");
        sizes.push_back(static_cast<int>(value));
    }
    if (sizes.empty())
        throw std::invalid_argument("no sizes given");
    return sizes;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 6 && args[0] == "--child" && args[1] == "run")
            return MeasureRun(args[2], args[3], args[4], args[5]);
        if (args.size() == 5 && args[0] == "--child") {
            if (args[1] == "run")
                return MeasureRun(args[2], args[3], args[4], {});
            if (args[1] == "floor")
                return MeasureFloor(args[2], args[3], args[4]);
        }

        std::vector<int> sizes = {1000, 10000, 100000};
        std::vector<int> delays = {1, 20};
        std::vector<int> delayedSizes = {2000};
        std::string engines = Env("NORVANE_TEST_SERVER").empty() ? "embedded" : "both";
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                std::cout << kUsage;
                return 0;
            }
            const bool list = args[i] == "--sizes" || args[i] == "--delays" || args[i] == "--delayed-sizes";
            if (list && i + 1 < args.size()) {
                const std::string& option = args[i];
                try {
                    std::vector<int>& target =
                        option == "--sizes" ? sizes : option == "--delays" ? delays : delayedSizes;
                    target = ParseSizes(args[++i], option == "--delays" ? 0 : 1);
                } catch (const std::invalid_argument& e) {
                    std::cerr << "norvane-bench: " << e.what() << "\n" << kUsage;
                    return 2;
                }
            } else if (args[i] == "--engine" && i + 1 < args.size() &&
                     (args[i + 1] == "embedded" || args[i + 1] == "server" || args[i + 1] == "both"))
                engines = args[++i];
            else {
                std::cerr << "norvane-bench: bad argument '" << args[i] << "'\n" << kUsage;
                return 2;
            }
        }

        std::vector<Target> targets;
        std::vector<std::vector<int>> targetSizes;
        std::vector<std::unique_ptr<TDelayProxy>> relays;
        const TTempFolder temp("norvane-bench-");
        const fs::path& folder = temp.Path();
        if (engines != "server") {
            const std::string file = (folder / "bench.fdb").string();
            targets.push_back({"embedded", file, "SYSDBA", "", folder, file});
            targetSizes.push_back(sizes);
        }
        if (engines != "embedded") {
            const std::string host = Env("NORVANE_TEST_SERVER"), dir = Env("NORVANE_TEST_SERVER_DIR");
            if (host.empty() || dir.empty()) {
                std::cerr << "norvane-bench: NORVANE_TEST_SERVER and NORVANE_TEST_SERVER_DIR are not set; "
                             "start the server with: eval \"$(bash scripts/fbserver.sh start)\"\n";
                return 2;
            }
            const std::string file = (fs::path(dir) / ("bench-" + std::to_string(::getpid()) + ".fdb")).string();
            const Target server{"server", host + ":" + file, Env("NORVANE_TEST_USER", "SYSDBA"),
                                Env("NORVANE_TEST_PASSWORD"), folder, host + ":" + file};
            targets.push_back(server);
            targetSizes.push_back(sizes);
            // The relay forwards to the server's port on this machine.
            for (int delay : delays) {
                if (delay == 0)
                    continue;
                relays.push_back(std::make_unique<TDelayProxy>(3050, delay));
                Target relayed = server;
                relayed.engine = "server +" + std::to_string(delay) + " ms round trip";
                relayed.measured = "127.0.0.1/" + std::to_string(relays.back()->Port()) + ":" + file;
                targets.push_back(relayed);
                targetSizes.push_back(delayedSizes);
            }
        }

        std::printf("norvane-bench: a run is ReadLog over the whole period, both scripts and the XML text.\n"
                    "The floor reads the log's three tables whole with three plain SELECTs; read is the run's\n"
                    "reading of the log into records (ReadLog without the XML log), read/flr its ratio to the\n"
                    "floor. The shares split the run into reading, building the XML log, both scripts and the\n"
                    "XML text.\n"
                    "Build: making the database and its logged changes. Peak: resident memory of the run.\n");
        std::printf("cli/flr, undo/flr: norvane-cli writing the reproducing or the undo script and the XML log\n"
                    "to files (the streamed path), against the floor; cli MiB, undo MiB: their peak memory.\n"
                    "held/flr: the run above (the held path, ReadLog) against the floor; KiB/entry: its peak\n"
                    "memory above its idle size, per entry.\n");
        for (std::size_t t = 0; t < targets.size(); ++t) {
            PrintHeader(targets[t]);
            const std::vector<int>& list = targetSizes[t];
            if (std::find(list.begin(), list.end(), kCompareSize) == list.end() && targets[t].engine.find('+') ==
                                                                                        std::string::npos)
                Measure(targets[t], kCompareSize, true);
            std::vector<std::pair<int, double>> peaks, applyPeaks;
            for (int entries : list) {
                double applyPeak = 0;
                peaks.emplace_back(entries, Measure(targets[t], entries, false, &applyPeak));
                applyPeaks.emplace_back(entries, applyPeak);
            }
            if (peaks.size() > 1)
                std::printf("          CLI peak memory grows %.1f MiB from %d to %d entries\n",
                            (peaks.back().second - peaks.front().second) / 1024.0, peaks.front().first,
                            peaks.back().first);
            if (applyPeaks.size() > 1 && applyPeaks.back().second > 0)
                std::printf("          apply peak memory grows %.1f MiB from %d to %d entries\n",
                            (applyPeaks.back().second - applyPeaks.front().second) / 1024.0, applyPeaks.front().first,
                            applyPeaks.back().first);
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "norvane-bench: " << e.what() << "\n";
        return 1;
    }
}
