#pragma once
// The change log looked after by the program itself: installed on a
// database (or brought up to date), reported on, purged of old entries and
// removed. Its structures and triggers are the built-in texts made from
// scripts/demo/log-tables.sql and log-triggers.sql, run as isql would run
// them, but in one transaction: a failure leaves the database as it was.
//
// Installing, purging and removing need the database's owner, SYSDBA or
// the role RDB$ADMIN; each is checked before anything changes. The log's
// tables and triggers are its own; no user table or row is ever touched.
// Names come back as UTF-8.
#include "core/Exception.h"
#include "locale/Regional.h"

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace Norvane {

// A database and the login that reaches it.
struct TLogDatabase {
    std::string location;
    std::string user;
    std::string password;
};

// Why a log command changed nothing, or stopped; the text says which
// database and what to do.
enum class TLogProblem {
    NoLog,  // the database has no change log
    NoRights,  // the user may not change the database's structure
    NotApplied,  // a target of --applied keeps no record of the source
    Failed,  // the database refused the log's structures
};

class CELogAdmin : public Exception {
public:
    CELogAdmin(TLogProblem aProblem, const std::string& message) : Exception(message), Problem(aProblem) { }
    TLogProblem Problem;
};

struct TInstallReport {
    std::string charset;  // the database's own, in which the log was made
    std::vector<std::string> created;  // "table IBE$LOG_TABLES", "generator ...", "index ..."
    std::vector<std::string> addedColumns;  // "IBE$LOG_FIELDS.OLD_TEXT": log tables of an older shape
    std::vector<std::string> logged;  // every table logged now
    std::vector<std::string> newlyLogged;  // those of them not logged before
    std::vector<std::string> droppedTriggers;  // log triggers of tables no longer logged
    long long generatorRaisedTo = 0;  // the log id the generator was moved up to; 0: none
};

// Makes the log tables, generator and triggers the built-in texts hold, in
// the database's own character set. Run again, it makes what is missing
// (columns a newer log has too), puts triggers on tables made since and
// replaces the others, and drops the log triggers the texts no longer make.
// Throws CELogAdmin, ConnectError, DBManagerError.
TInstallReport InstallLog(const TLogDatabase& database);

struct TLogStatus {
    std::string charset;  // the database's own
    int dialect = 3;
    // Tables by their log triggers: all three (insert, update, delete)
    // active, some of them, none.
    std::vector<std::string> logged;
    std::vector<std::string> partlyLogged;
    std::vector<std::string> notLogged;
    long long entries = 0;
    std::string oldest;  // YYYY-MM-DD HH:MM:SS, empty without entries
    std::string newest;
    long long incomplete = -1;  // entries marked INCOMPLETE; -1: the log has no such column
    struct TTableSize {
        std::string table;
        long long rows = 0;
        long long bytes = -1;  // -1: not known (sizeProblem)
    };
    std::vector<TTableSize> tables;  // the log's tables
    std::string sizeProblem;  // why the sizes are not known
};

// Throws CELogAdmin (NoLog), ConnectError, DBManagerError.
TLogStatus ReadLogStatus(const TLogDatabase& database);

struct TPurgeRequest {
    TDateTime before = 0;  // entries stamped before this moment go
    // When given: only entries that every one of these targets of apply has
    // received from the source (its record in NORVANE$SOURCES and
    // NORVANE$RECEIVED) go.
    std::vector<TLogDatabase> appliedTo;
    // The name the targets know the source by; empty: the file name of its
    // location, as apply names it.
    std::string sourceName;
    long long batch = 10000;  // entries deleted and committed at a time
};

struct TPurgeReport {
    long long entries = 0;  // entries deleted, with their keys and fields
    long long keys = 0;
    long long fields = 0;
    // Entries older than the date that stay because a target has not
    // received them (--applied).
    long long kept = 0;
};

// Called after each batch has been committed, with the entries deleted so
// far and the entries to delete in all; it may throw to stop the purge,
// which keeps the batches committed.
using TPurgeProgress = std::function<void(long long done, long long total)>;

// Deletes the log entries stamped before the date with their keys and
// fields, a batch at a time, each batch committed. Throws CELogAdmin,
// ConnectError, DBManagerError.
TPurgeReport PurgeLog(const TLogDatabase& database, const TPurgeRequest& request, const TPurgeProgress& progress = {});

struct TRemoveReport {
    std::vector<std::string> droppedTriggers;
    std::vector<std::string> droppedObjects;  // "table IBE$LOG_KEYS", "generator ..."
};

// Drops every log trigger and, with dropData, the log's tables and
// generator with every entry; one transaction. Throws CELogAdmin,
// ConnectError, DBManagerError.
TRemoveReport RemoveLog(const TLogDatabase& database, bool dropData);

// The reports in words of the message catalogue, lines of UTF-8 each ending
// with a line feed, as norvane-cli prints them and the window shows them.
std::string InstallText(const TInstallReport& report, const std::string& location);
std::string StatusText(const TLogStatus& status, const std::string& location);
std::string PurgeText(const TPurgeReport& report, TDateTime before, const std::string& location);
std::string RemoveText(const TRemoveReport& report, bool dropData, const std::string& location);

// A failure of a log command as the user is told it, and norvane-cli's exit
// status for it: 20 no change log, 21 no rights, 22 the log's structures
// refused, 23 a target of --applied with no record of the source, 3 no
// connection (refused or lost), 128 + the signal's number when a signal
// stopped it, 1 anything else.
struct TLogFailure {
    std::string text;  // UTF-8
    int exitStatus = 1;
    bool interrupted = false;
};

// What the error is; call it with std::current_exception() in a handler.
// Any failure after a signal the watch caught is the signal's doing, told
// as msgLogInterrupted.
TLogFailure DescribeLogFailure(std::exception_ptr error);

}  // namespace Norvane
