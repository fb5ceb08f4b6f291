#pragma once
// Carrying a source's logged changes to a sister database directly, each
// checked against the row it changes, each exactly once; and undoing
// logged changes in the database itself, checked the other way round.
//
// An apply reads the source's log as a run does (CLogReader, inside one
// read-only snapshot) and makes its entries' changes on the target in log
// order, inside one transaction that commits only when every entry applied
// cleanly, together with the target's record of the entries it received.
// Statements are prepared once per table and shape and run with typed
// parameters. Before it, the target's own triggers on the tables the
// entries change are switched off (committed, and noted in the target, so
// that the next run puts them back if this one never could); after it,
// they are switched on again and the target's generators are moved up to
// the source's.
//
// The target's bookkeeping, created on first use, is three tables of its
// own: NORVANE$SOURCES (per source: how far its entries are received, and
// the promise of final ids, TReceivedLog), NORVANE$RECEIVED (the ranges of
// ids received above that) and NORVANE$TRIGGERS (the triggers an apply
// under way has switched off). An undo keeps its own record of the
// entries it undid in the database itself, under the source name "(undo)".
#include "engine/Clogrecord.h"
#include "engine/Cnorvane.h"
#include "engine/Crecordstore.h"
#include "engine/Cselection.h"
#include "locale/Regional.h"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Norvane {

// A row of the target that is not as the log says, or a change the target
// refuses: the text names the log entry, the table, the operation, the key
// and what the target holds instead. Nothing was changed.
class CEConflict : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The target refuses this program's own work on it: making or using its
// bookkeeping tables, switching its triggers off, moving its generators (a
// user without the right to, or tables of the name that this program did
// not make). The text says which, with the server's reason. Nothing was
// changed.
class CETargetRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The target's own triggers that a run switched off could not be switched
// on again: the text names them and says how to put them back (and, when
// the run failed before, why it failed).
class CETriggersLeftOff : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TApplySummary {
    struct TTable {
        std::string name;
        std::size_t inserts = 0;
        std::size_t updates = 0;
        std::size_t deletes = 0;
    };
    std::string sourceName;
    std::size_t entries = 0;       // entries applied (or undone)
    std::vector<TTable> tables;    // in the order first met
    std::size_t generators = 0;    // the target's generators moved up
    std::size_t triggers = 0;      // the target's triggers switched off and on again
    std::size_t restored = 0;      // triggers an earlier run had left off, switched on first
    double seconds = 0;
    bool declined = false;         // the confirmation said no: nothing was changed
};

struct TApplyOptions {
    std::string source;  // the database whose log is read
    std::string user;
    std::string password;
    std::string charset = kDefaultCharset;  // the source connection's
    std::string target;  // the sister database; unused for undo
    std::string targetUser;
    std::string targetPassword;
    std::string targetCharset = kDefaultCharset;
    // The name the target knows the source by; empty: DefaultSourceName.
    std::string sourceName;
    TDateTime periodBegin = 0;
    TDateTime periodEnd = 0;  // excluded
    // Undo the selected entries in the source itself, newest first.
    bool undo = false;
    // Match a row by its key alone, without the logged values of the
    // columns the entry changed.
    bool keyOnly = false;
    // Which of the period's entries it takes by their tables, users and
    // operations (NorvaneImpl::TEntrySelection); the default takes all.
    NorvaneImpl::TEntryFilter filter;
    // Asked, when given, with what the run would apply per table and
    // operation (read in the run's own snapshot of the source, with the
    // target's record as it stands), before anything on the target
    // changes; false ends the run there, declined. The entries are
    // checked on the way: a log entry that cannot be trusted stops the run
    // before the question.
    std::function<bool(const TApplySummary& planned)> confirm;
};

class CApplier {
public:
    explicit CApplier(TApplyOptions options, TProgressEvent onProgress = {});

    // Applies (or undoes) the entries of the period not received before
    // that the filter takes, with the effects of referential actions that
    // go with them. Throws CEConflict, CETargetRefused, CETriggersLeftOff,
    // NorvaneImpl::CEBookkeeping, the
    // run's errors (CEInvalidEntry, CEIncompleteValue, CEUnknownIBType),
    // the database manager's and InterruptedError; the target is then as it
    // was, but for its triggers when CETriggersLeftOff says so.
    TApplySummary Run();

    // Switches on the triggers of the database that an apply left off
    // (NORVANE$TRIGGERS), whether or not it still runs. Returns how many.
    static std::size_t RestoreTriggers(const std::string& location, const std::string& user,
                                       const std::string& password, const std::string& charset);

private:
    TApplyOptions options;
    TProgressEvent onProgress;
};

}  // namespace Norvane

namespace NorvaneImpl {

// One condition of the row a statement must find: its column holds the
// value (a null one included).
struct TMatchTerm {
    const CFieldValue* field = nullptr;
    const CFieldCast* value = nullptr;
    bool key = false;  // a column of the table's key
};

// The row a record's statement must find on the database it runs on.
struct TRowMatch {
    std::vector<TMatchTerm> terms;  // the key's columns first, then the values checked
    // The terms hold the table's key, so at most one row matches; without
    // it (a table without a key), the first row whose values match is taken.
    bool byKey = false;
};

// The row the statement that replays (or undoes) a record must match:
// nothing for an insert; by the key as it stands there (its old value when
// replaying an update that changed it, its new one when undoing), and,
// with checkValues, the values the columns held before the change (when
// replaying: the changed columns of an update, every logged column of a
// delete) or after it (when undoing: the changed columns of an update,
// every logged column of an insert). A table logged without its key is
// matched by every logged value, as the scripts match it.
TRowMatch RowMatch(const CLogRecord& record, bool reproducing, bool checkValues);

// The order in which the records of an undo are undone: positions in the
// store, newest first.
std::vector<std::size_t> UndoOrder(const TRecordStore& records);

}  // namespace NorvaneImpl
