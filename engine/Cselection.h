#pragma once
// Which log entries a run takes: those of its period that the target (a
// sister database, or a state file of written scripts) has not received
// yet, known by their log ids.
//
// A date stamp cannot tell which entries are final: an entry is stamped
// when its change is made and seen only when its transaction commits,
// maybe after a run for its day. Neither can the highest id received: a
// long transaction commits ids lower than ones already received. So the
// ids received are kept as they are, in ranges, and the ranges grow
// together across ids that are proven never to come. Log ids come from the
// generator IBE$LOG_TABLES_GEN, taken when the change is made. A run notes
// the generator's value G before its snapshot of the log begins, and the
// number T of that snapshot's transaction: every id up to G was taken by a
// transaction older than T. Once the oldest transaction still active on
// the source (MON$OLDEST_ACTIVE) is T or newer, all of them have ended, and
// an id up to G that the log does not hold by then never will (its
// transaction rolled back, or the entry was deleted). Without the
// generator no id is ever taken for absent: ranges then only join where
// the ids received meet.
#include "engine/Clogreader.h"
#include "locale/Regional.h"

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

class TParams;

namespace NorvaneImpl {

// Raised when what a target (or a state file) holds of a source does not
// fit the source: its log ids went back below ids already received (the
// log was emptied and begun again), or a state file is unreadable or
// belongs to another source. The text says which and what to do.
class CEBookkeeping : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The source's log as a run's snapshot of it begins.
struct TSourceMark {
    bool hasGenerator = false;   // the log has IBE$LOG_TABLES_GEN
    long long generator = 0;     // its value, read before the snapshot began
    long long oldestActive = 0;  // MON$OLDEST_ACTIVE, read before the snapshot began
    long long snapshot = 0;      // the snapshot's own transaction number
};

// Reads the mark of the database manager's connected database in a
// transaction of its own, then starts the run's snapshot (the manager's
// transaction) and notes its number. Throws the manager's errors.
TSourceMark StartSnapshot();

// The ids of a source's log entries that a target has received.
class TReceivedLog {
public:
    static constexpr long long kNone = std::numeric_limits<long long>::min();
    struct TRange {
        long long first = 0;
        long long last = 0;
        bool operator==(const TRange& other) const { return first == other.first && last == other.last; }
    };

    // Every id up to the floor is received or will never come; the log
    // queries start above it. kNone: nothing yet.
    long long Floor() const { return floor; }
    // The ids received above the floor, in ascending order, none touching
    // another or the floor.
    const std::vector<TRange>& Ranges() const { return ranges; }
    long long FinalId() const { return finalId; }
    bool Contains(long long id) const;
    // Notes an id as received.
    void Add(long long id);
    // The highest id received; kNone when none.
    long long Highest() const;

    // A run begins: an earlier run's promise that has come true makes its
    // ids final, and the run's own is noted to be kept when none is
    // pending. Throws CEBookkeeping when the log's generator is below ids
    // already received.
    void Begin(const TSourceMark& mark);
    // The gaps between the floor and the ranges, and between ranges, that
    // lie wholly within the final ids: ids the log does not hold there will
    // never come. At most `most` of them, lowest first.
    std::vector<TRange> FinalGaps(std::size_t most) const;
    // Takes a gap's ids as dealt with: the ranges around it join.
    void Fill(const TRange& gap);

    // The promise kept: ids up to PromisedId are final once every
    // transaction older than PromisedBelow has ended; 0 and 0 for none.
    long long PromisedId() const { return promisedId; }
    long long PromisedBelow() const { return promisedBelow; }
    // Restores a log as stored.
    void Restore(long long aFloor, std::vector<TRange> aRanges, long long aFinalId, long long aPromisedId,
                 long long aPromisedBelow);

    // The log as lines of "name=value" text, for a state file, and back.
    // FromText throws CEBookkeeping for a text that is not one.
    std::string Text() const;
    static TReceivedLog FromText(const std::string& text);

    bool operator==(const TReceivedLog& other) const;

private:
    long long floor = kNone;
    std::vector<TRange> ranges;
    long long finalId = kNone;
    long long promisedId = 0;
    long long promisedBelow = 0;
};

// Joins the final gaps of the log (TReceivedLog::FinalGaps) that the
// database manager's snapshot of the change log holds no entry in.
void FillFinalGaps(TReceivedLog& received);

// Which entries a run wants by what they are: their tables, the users who
// made them and their operations. An empty list takes every one. Names are
// compared exactly as the log has them (its trailing blanks aside): the
// table as logged, the user as the logging trigger wrote CURRENT_USER.
struct TEntryFilter {
    std::vector<std::string> tables;          // only these
    std::vector<std::string> excludedTables;  // none of these
    std::vector<std::string> users;           // only changes these users made
    std::string operations;                   // only these letters of I, U and D; empty: all three

    bool Empty() const { return tables.empty() && excludedTables.empty() && users.empty() && operations.empty(); }
    bool Takes(const TEntryRow& entry) const;
};

// Which entries a run takes: those of the period, and when a received log
// is given, those it does not hold, and of them those the filter takes. The
// period and the floor go into the log's queries; Choice is asked of each
// entry as it comes, before the entry is checked or made into a record.
//
// An entry the filter leaves out is not received: a later run with other
// filters, or none, still takes it. The reader takes the effects of a
// referential action with their source whatever the filter says of them
// (TEntryChoice::Filtered), since either half alone does not fit the
// target: replayed, the source makes the target's engine repeat the action,
// so an effect left behind could never be applied after it; an effect
// without its source refers to a key the target does not have (or, undone,
// no longer has).
struct TEntrySelection {
    TDateTime periodBegin = 0;
    TDateTime periodEnd = 0;  // excluded
    const TReceivedLog* received = nullptr;
    TEntryFilter filter;

    // BEGD and ENDD, and FLOOR when the selection starts above the floor.
    TParams Params() const;
    TEntryChoice Choice(const TEntryRow& entry) const;
};

// The name a source is known by when none is given: the file name of its
// location, without folders and host ("shop.fdb" for
// "server/3051:/data/shop.fdb"), so that a database copied or moved
// elsewhere is the same source.
std::string DefaultSourceName(const std::string& location);

}  // namespace NorvaneImpl
