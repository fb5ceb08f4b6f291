#include "engine/Cselection.h"

#include "db/Tdbmanager.h"
#include "locale/Messages.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace NorvaneImpl {

namespace {

long long Number(TDataSet& data, std::size_t column) { return data.Fields(column).AsInteger(); }

}  // namespace

TSourceMark StartSnapshot()
{
    TDBManager& db = TDBManager::GetInstance();
    TSourceMark mark;
    // Both before the snapshot begins: a transaction older than the oldest
    // active one had ended before it, and one that took an id up to the
    // generator's value had begun before it.
    db.StartTransaction();
    try {
        std::unique_ptr<TDataSet> data = db.OpenQuery(
            "select d.mon$oldest_active, (select count(*) from rdb$generators g"
            " where g.rdb$generator_name = 'IBE$LOG_TABLES_GEN') from mon$database d");
        mark.oldestActive = Number(*data, 0);
        if (Number(*data, 1) > 0) {
            data = db.OpenQuery("select gen_id(IBE$LOG_TABLES_GEN, 0) from rdb$database");
            mark.generator = Number(*data, 0);
            // A generator never moved has given no ids: the log's ids, if
            // any, were written some other way.
            mark.hasGenerator = mark.generator > 0;
        }
    } catch (...) {
        db.Rollback();
        throw;
    }
    db.Rollback();
    db.StartTransaction();
    mark.snapshot = Number(*db.OpenQuery("select current_transaction from rdb$database"), 0);
    return mark;
}

// ---------------------------------------------------------------- TReceivedLog

bool TReceivedLog::Contains(long long id) const
{
    if (id <= floor)
        return true;
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), id,
                                        [](long long value, const TRange& range) { return value < range.first; });
    return after != ranges.begin() && std::prev(after)->last >= id;
}

void TReceivedLog::Add(long long id)
{
    if (Contains(id))
        return;
    // Runs add ids in ascending order: the last range is the usual place.
    auto after = std::upper_bound(ranges.begin(), ranges.end(), id,
                                  [](long long value, const TRange& range) { return value < range.first; });
    const bool joinsBefore = after == ranges.begin() ? id - 1 == floor : std::prev(after)->last + 1 == id;
    const bool joinsAfter = after != ranges.end() && after->first - 1 == id;
    if (joinsBefore && after == ranges.begin()) {
        floor = id;
        if (joinsAfter) {
            floor = after->last;
            ranges.erase(after);
        }
    } else if (joinsBefore) {
        std::prev(after)->last = joinsAfter ? after->last : id;
        if (joinsAfter)
            ranges.erase(after);
    } else if (joinsAfter) {
        after->first = id;
    } else {
        ranges.insert(after, TRange{id, id});
    }
}

long long TReceivedLog::Highest() const { return ranges.empty() ? floor : ranges.back().last; }

void TReceivedLog::Begin(const TSourceMark& mark)
{
    if (mark.hasGenerator && Highest() != kNone && Highest() > mark.generator)
        throw CEBookkeeping(
            ScriptMessage(msgLogIdsWentBack, {std::to_string(mark.generator), std::to_string(Highest())}));
    if (promisedBelow > 0 && mark.oldestActive >= promisedBelow) {
        finalId = std::max(finalId, promisedId);
        promisedId = promisedBelow = 0;
    }
    if (promisedBelow == 0 && mark.hasGenerator && mark.generator > finalId) {
        promisedId = mark.generator;
        promisedBelow = mark.snapshot;
    }
}

std::vector<TReceivedLog::TRange> TReceivedLog::FinalGaps(std::size_t most) const
{
    std::vector<TRange> gaps;
    long long below = floor;
    for (const TRange& range : ranges) {
        if (gaps.size() >= most || range.first - 1 > finalId)
            break;
        gaps.push_back({below == kNone ? kNone : below + 1, range.first - 1});
        below = range.last;
    }
    return gaps;
}

void TReceivedLog::Fill(const TRange& gap)
{
    // The gap runs from just above the floor or a range to just below a
    // range: that range takes in the gap and what lies below it.
    const auto above = std::find_if(ranges.begin(), ranges.end(),
                                    [&gap](const TRange& range) { return range.first == gap.last + 1; });
    if (above == ranges.end())
        return;
    if (above == ranges.begin()) {
        floor = above->last;
        ranges.erase(above);
    } else {
        std::prev(above)->last = above->last;
        ranges.erase(above);
    }
}

void TReceivedLog::Restore(long long aFloor, std::vector<TRange> aRanges, long long aFinalId, long long aPromisedId,
                           long long aPromisedBelow)
{
    floor = aFloor;
    ranges = std::move(aRanges);
    std::sort(ranges.begin(), ranges.end(), [](const TRange& a, const TRange& b) { return a.first < b.first; });
    finalId = aFinalId;
    promisedId = aPromisedId;
    promisedBelow = aPromisedBelow;
}

std::string TReceivedLog::Text() const
{
    std::string text = "floor=" + std::to_string(floor) + "\nfinal=" + std::to_string(finalId) +
                       "\npromise=" + std::to_string(promisedId) + " " + std::to_string(promisedBelow) + "\n";
    for (const TRange& range : ranges)
        text += "received=" + std::to_string(range.first) + " " + std::to_string(range.last) + "\n";
    return text;
}

TReceivedLog TReceivedLog::FromText(const std::string& text)
{
    TReceivedLog log;
    std::istringstream lines(text);
    std::string line;
    std::vector<TRange> ranges;
    auto numbers = [&line](std::size_t from, long long& a, long long* b) {
        const char* end = line.data() + line.size();
        auto result = std::from_chars(line.data() + from, end, a);
        if (result.ec != std::errc())
            return false;
        if (b) {
            if (result.ptr == end || *result.ptr != ' ')
                return false;
            result = std::from_chars(result.ptr + 1, end, *b);
            if (result.ec != std::errc())
                return false;
        }
        return result.ptr == end;
    };
    bool hasFloor = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#' || line.compare(0, 7, "source=") == 0)
            continue;
        bool read = false;
        TRange range;
        if (line.compare(0, 6, "floor=") == 0)
            read = hasFloor = numbers(6, log.floor, nullptr);
        else if (line.compare(0, 6, "final=") == 0)
            read = numbers(6, log.finalId, nullptr);
        else if (line.compare(0, 8, "promise=") == 0)
            read = numbers(8, log.promisedId, &log.promisedBelow);
        else if (line.compare(0, 9, "received=") == 0 && numbers(9, range.first, &range.last) &&
                 range.first <= range.last) {
            ranges.push_back(range);
            read = true;
        }
        if (!read)
            throw CEBookkeeping(ScriptMessage(msgStateBadLine, {Printable(line)}));
    }
    if (!hasFloor)
        throw CEBookkeeping(ScriptMessage(msgStateNoFloor));
    log.Restore(log.floor, std::move(ranges), log.finalId, log.promisedId, log.promisedBelow);
    // Ranges that overlap or touch the floor are no log this program wrote.
    long long below = log.floor;
    for (const TRange& range : log.ranges) {
        if (below != kNone && range.first <= below + 1)
            throw CEBookkeeping(ScriptMessage(msgStateOverlap));
        below = range.last;
    }
    return log;
}

bool TReceivedLog::operator==(const TReceivedLog& other) const
{
    return floor == other.floor && ranges == other.ranges && finalId == other.finalId &&
           promisedId == other.promisedId && promisedBelow == other.promisedBelow;
}

void FillFinalGaps(TReceivedLog& received)
{
    // A few gaps a run: more of them join at the next.
    constexpr std::size_t kGapsPerRun = 50;
    TDBManager& db = TDBManager::GetInstance();
    for (const TReceivedLog::TRange& gap : received.FinalGaps(kGapsPerRun)) {
        TParams bounds;
        bounds.CreateParam(ftInteger, "FIRST").SetAsInteger(gap.first);
        bounds.CreateParam(ftInteger, "LAST").SetAsInteger(gap.last);
        std::unique_ptr<TDataSet> found = db.OpenQuery(
            "select first 1 lt.id from ibe$log_tables lt where lt.id >= :FIRST and lt.id <= :LAST", &bounds);
        if (found->Eof())
            received.Fill(gap);
    }
}

// ---------------------------------------------------------------- TEntrySelection

TParams TEntrySelection::Params() const
{
    TParams params;
    params.CreateParam(ftDateTime, "BEGD").SetAsDateTime(periodBegin);
    params.CreateParam(ftDateTime, "ENDD").SetAsDateTime(periodEnd);
    if (received && received->Floor() != TReceivedLog::kNone)
        params.CreateParam(ftInteger, "FLOOR").SetAsInteger(received->Floor());
    return params;
}

TEntryChoice TEntrySelection::Choice(const TEntryRow& entry) const
{
    if (received && received->Contains(entry.id))
        return TEntryChoice::Skip;
    return filter.Takes(entry) ? TEntryChoice::Take : TEntryChoice::Filtered;
}

// ---------------------------------------------------------------- TEntryFilter

bool TEntryFilter::Takes(const TEntryRow& entry) const
{
    const auto named = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (!operations.empty() && (entry.operation.empty() || operations.find(entry.operation[0]) == std::string::npos))
        return false;
    if (tables.empty() && excludedTables.empty() && users.empty())
        return true;
    const std::string table = Trimmed(entry.tableName);
    return (tables.empty() || named(tables, table)) && !named(excludedTables, table) &&
           (users.empty() || named(users, Trimmed(entry.userName)));
}

std::string DefaultSourceName(const std::string& location)
{
    // "host:path" and "host/port:path" name a path on the host; a Windows
    // path keeps its drive letter's colon ("C:\data\shop.fdb").
    std::string path = location;
    const std::size_t colon = path.find(':');
    if (colon != std::string::npos && colon != 1)
        path = path.substr(colon + 1);
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos && slash + 1 < path.size())
        path = path.substr(slash + 1);
    return path;
}

}  // namespace NorvaneImpl
