#pragma once
#include "engine/Clogrecord.h"
#include "engine/Cschema.h"
#include "engine/Cscriptwriter.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TDataSet;
class TField;
class TParams;

namespace NorvaneImpl {

// One row of the log query: a log entry without its values.
struct TEntryRow {
    long long id = 0;
    std::string operation;
    std::string tableName;
    std::string dateTime;
    std::string userName;
};

// One logged value as the period's keys or fields query gives it.
struct TValueRow {
    long long logId = 0;
    unsigned long long place = 0;  // where the row is stored: its order within its entry
    std::string name;
    bool newNull = true;
    std::string newValue;
    bool hasOld = false;  // keys have no old value
    bool oldNull = true;
    std::string oldValue;
    bool incomplete = false;  // the log marks the value as not logged whole
};

// Gives the next row into its argument; false after the last one.
template <class Row>
using TRowSource = std::function<bool(Row&)>;

// Merges the period's entries, in ascending log id, with the rows of its
// keys and fields, each source also in ascending log id: every entry gets
// the rows of its own id, in the order in which they are stored. Rows of an
// id the entries do not have are passed over. Each source is first asked
// for a row when the first entry needs its values, so a period without
// entries never asks the value sources.
class TLogMerger {
public:
    TLogMerger(TRowSource<TEntryRow> entries, TRowSource<TValueRow> keys, TRowSource<TValueRow> fields);

    // The next entry and its values; false after the last entry.
    bool Next(TEntryRow& entry, std::vector<TValueRow>& keys, std::vector<TValueRow>& fields);

private:
    struct TStream {
        TRowSource<TValueRow> source;
        TValueRow pending;
        bool hasPending = false;
        bool ended = false;
        void Take(long long logId, std::vector<TValueRow>& rows);
    };

    TRowSource<TEntryRow> entries;
    TStream keys;
    TStream fields;
};

// Where a value's text comes from: the first of its columns that is not
// null. A log keeps a value in one of several columns by its size and kind
// (a text column, a text BLOB, a binary BLOB); the first column is in every
// log, the others only in the logs that have them.
struct TValueColumns {
    std::vector<std::string> names;
};

// A text of the log as a message shows it: a control character, which a
// terminal might obey, as \xNN.
std::string Printable(const std::string& text);

// Why a log entry must not become a statement, in words ("its key field
// NAME is logged twice"); empty when it may. Anyone who can change a logged
// table can write log rows, so nothing of an entry is trusted: its table
// must be a user table of the database, its key rows exactly the columns of
// the table's key (none at all is allowed for a table without a primary
// key, whose rows are then matched by their values), no field named twice,
// its operation letter I, U or D, and no name or user name may hold a
// control character. quoteNames: the database has quoted names (dialect 3);
// without them a name must be one a statement can write bare.
std::string EntryRefusal(const TEntryRow& entry, const std::vector<TValueRow>& keys,
                         const std::vector<TValueRow>& fields, const CSchema& schema, bool quoteNames);

// The record of an entry that EntryRefusal lets through, with the table's
// and the columns' names as the database has them and each value typed by
// its column. A value of a column the table does not have is left out, as
// an inner join of the log with the system tables would leave it out; a
// value the log marks as incomplete stops the run with CEIncompleteValue.
std::unique_ptr<CLogRecord> MakeRecord(const TEntryRow& entry, const std::vector<TValueRow>& keys,
                                       const std::vector<TValueRow>& fields, const CSchema& schema,
                                       bool quoteNames, bool includeComments);

// Raised for a log entry that EntryRefusal refuses; the text names the log
// entry, its table and the reason.
class CEInvalidEntry : public std::range_error {
public:
    CEInvalidEntry(long long logId, const std::string& tableName, const std::string& reason);
    long long LogId() const { return logId; }
    const std::string& Reason() const { return reason; }

private:
    long long logId;
    std::string reason;
};

// Finds the records that a referential action made (TCascade): a record of
// a table with such a foreign key whose referring columns held the old key
// of a row that an earlier record, within kCascadeWindow records, changed
// or deleted, and were changed as the action changes them (to the parent's
// new key, to null, to their default) or deleted with it.
class TCascadeFinder {
public:
    explicit TCascadeFinder(const CSchema& schema);
    ~TCascadeFinder();
    // Marks the record, the sequence-th of the run, when it is an effect,
    // and keeps it as a possible source of the records that follow.
    void Examine(CLogRecord& record, std::size_t sequence);

private:
    struct TSource;
    const CSchema& schema;
    std::unordered_map<std::string, TSource> sources;  // by foreign key and the old key values the row had
    std::vector<std::pair<std::size_t, std::string>> kept;  // when each source was kept, oldest first
    std::size_t oldest = 0;                                 // the first of kept still in the window
};

// Hears of an entry left out as invalid: its log id, table and reason.
using TSkipEvent = std::function<void(const CEInvalidEntry& entry)>;
// What a run makes of a log entry (TEntrySelection::Choice).
enum class TEntryChoice {
    Skip,      // none of the run's: received before
    Take,
    // The run's filters leave it out; it is taken all the same when it is the
    // effect of a referential action whose source the run takes, and it is
    // left out, whatever it is, when it is the effect of one left out.
    Filtered,
};
using TSelectEvent = std::function<TEntryChoice(const TEntryRow& entry)>;

// A query of the period's entries that starts above the log id in the
// parameter FLOOR, when the period's parameters have one; as it is
// otherwise.
std::string AboveFloor(std::string sql, const TParams& period);

// Hears of an entry whose statements find their row by its logged values
// (it has no key rows) that leave out some of the table's columns, so that
// they may find another row equal in those: its operation letter and table.
using TPartialMatchEvent = std::function<void(char operation, const std::string& table)>;

// The user generators of the database manager's database (neither the
// system's, nor the change log's, nor the bookkeeping's of a database that
// received changes), with their values as its open transaction sees them.
std::vector<TGeneratorValue> ReadGenerators(bool quoteNames);

// Reads the log of a period from the database manager's open transaction
// and yields its records one by one in log order, holding no more than the
// entry at hand: the log query and the keys and fields queries are read
// side by side as their rows arrive, ordered by log id, and each entry is
// checked against the database's tables (CSchema, read with the number of
// the period's entries and the range of their ids when the first entry
// needs its values; counted without a sort: a list of the tables the period
// names would sort every entry). The values are read by that range of ids
// through their own index, without a join: a join with the entries to
// test each value's period costs a lookup a row, several times the reading. An entry EntryRefusal refuses stops the run with CEInvalidEntry,
// or, when a skip event is given, is told to it and left out. An entry the
// select event skips is passed over before it is checked; one it filters
// out is made into a record only to tell the effects of referential actions
// that follow it (when the database has such actions), and is never
// refused: it goes with its source, if at all. The period's parameters are
// BEGD and ENDD, and FLOOR for a log read above an id.
class CLogReader {
public:
    CLogReader(const TParams& period, bool quoteNames, bool includeComments, TSkipEvent onSkip = {},
               TSelectEvent selects = {});
    ~CLogReader();
    CLogReader(const CLogReader&) = delete;
    CLogReader& operator=(const CLogReader&) = delete;

    // The next record, nullptr after the last one.
    std::unique_ptr<CLogRecord> Next();
    void OnPartialMatch(TPartialMatchEvent event) { onPartialMatch = std::move(event); }
    // The entry of the record Next gave last: its log id, table, letter,
    // moment and user.
    const TEntryRow& Entry() const { return entry; }
    // The number of entries of the period, known once the first record has
    // been read (0 before); never less than the records read.
    int Total() const { return schema.Entries() > read ? schema.Entries() : read; }
    // The entries read so far, those passed over included.
    int Read() const { return read; }

private:
    struct TValueQuery;

    void ReadLogColumns();
    std::string ValuesQuery(const TValueQuery& query) const;
    bool NextValue(TValueQuery& query, TValueRow& row);
    // Whether the record made as the sequence-th goes to the caller, an
    // effect's distance to its source then counted in records given.
    bool Give(CLogRecord& record, std::size_t sequence, bool filtered);

    const std::unique_ptr<const TParams> period;
    const bool quoteNames;
    const bool includeComments;
    TSkipEvent onSkip;
    TPartialMatchEvent onPartialMatch;
    TSelectEvent selects;
    bool schemaRead = false;
    int read = 0;
    std::size_t made = 0;
    std::size_t given = 0;
    // For each of the last kCascadeWindow records made, the number it was
    // given as (1 for the first), 0 for one left out; empty as long as every
    // record made was given.
    std::vector<std::size_t> givenAs;
    CSchema schema;
    TCascadeFinder cascades{schema};
    std::unordered_set<std::string> logColumns;  // the log tables' columns, by table and column name
    std::unique_ptr<TDataSet> log;
    std::unique_ptr<TValueQuery> keyQuery;
    std::unique_ptr<TValueQuery> fieldQuery;
    std::unique_ptr<TLogMerger> merger;
    TEntryRow entry;
    std::vector<TValueRow> keyRows;
    std::vector<TValueRow> fieldRows;
};

// Reads a log reader's records in a thread of its own, ahead of the caller
// that makes statements of them, so that the database and the caller work
// side by side (the embedded engine works in the reading thread). The
// records pass between the threads in batches: one handover per record would
// cost more than most records take to write.
class TReadAhead {
public:
    struct TItem {
        std::unique_ptr<CLogRecord> record;
        long long id = 0;
        int total = 0;  // CLogReader::Total when it was read
        int read = 0;   // and CLogReader::Read
    };

    // The reading thread words the errors of the log in the character set
    // of the caller's script (TScriptCharset), as the caller would. The
    // reader's events are called in the reading thread.
    explicit TReadAhead(CLogReader& aReader);
    // Stops the reading (the call under way ends first) and waits for it.
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // The next record; false after the last. Raises what the reading raised,
    // once the records read before the failure have been taken.
    bool Next(TItem& item);

private:
    // Records a batch holds, and batches that may wait: enough to keep both
    // sides busy, few enough to hold no memory to speak of.
    static constexpr std::size_t kBatch = 64;

    void Read();

    CLogReader& reader;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TItem> ready;  // a batch read, waiting for the caller
    bool ended = false;        // the last batch is ready (or the reading failed)
    bool stop = false;
    std::exception_ptr error;
    std::vector<TItem> batch;  // the caller's batch at hand
    std::size_t taken = 0;
    std::thread thread;  // last: it starts once the rest is there
};

}  // namespace NorvaneImpl
