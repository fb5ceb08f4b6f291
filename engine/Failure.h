#pragma once
// From a failure to what the user is told: the one place that knows which
// error classes of the core mean what. The window and norvane-cli word each
// kind in their own way; both take the kind, the text and the exit status
// from here.
#include <exception>
#include <string>

namespace Norvane {

enum class TFailureKind {
    Interrupted,      // the program was told to end while it ran (TSignalWatch, InterruptedError)
    NoConnect,        // the database refused or lost the connection (ConnectError, ConnectionLostError)
    Charset,          // a logged value cannot be read in the run's character set (CharsetError)
    NoLog,            // the change log cannot be read (SQLError)
    IncompleteValue,  // a value was not logged completely (CEIncompleteValue)
    InvalidEntry,     // a log entry that cannot be trusted (NorvaneImpl::CEInvalidEntry)
    NoSQLForm,        // a value of a type that has no SQL form (CEUnknownIBType)
    NotWritten,       // an output cannot be made or written (WriteError)
    TimedOut,         // a database call or an output ran past its time (TSignalWatch, TimeoutError)
    Conflict,         // a row of the target is not as the log says (CEConflict)
    Bookkeeping,      // the target's record of a source does not fit it (NorvaneImpl::CEBookkeeping)
    TargetRefused,    // the target refuses the program's own work on it (CETargetRefused)
    TriggersLeftOff,  // the target's triggers could not be switched on again (CETriggersLeftOff)
    Failed,           // any other error of the system's own (Exception)
    Unforeseen,       // any other standard exception
    Unknown           // anything else thrown
};

struct TFailure {
    TFailureKind kind = TFailureKind::Unknown;
    // The error's own text (Exception::Message or what()); empty for Unknown.
    std::string text;
    // Charset: Firebird's name of the set the connection asked for.
    std::string charset;
    // norvane-cli's exit status for it: 3 no connection, 4 no change log,
    // 5 no SQL form, 6 character set, 7 an invalid log entry, 9 an output
    // not written, 10 timed out, 11 a conflict, 12 bookkeeping, 13 triggers
    // left off, 14 the target refuses, 128 + the signal's number when
    // interrupted, 1 anything else.
    int exitStatus = 1;
    // NoSQLForm: the value's SQL type in words, when its code is one a
    // column type has (ARRAY); empty otherwise.
    std::string typeName;
};

// What the error is; call it with std::current_exception() in a handler.
// Any failure after a signal the watch caught is the signal's doing, and
// any failure after the watch found a database call overdue is a timeout:
// the call it cut short fails with whatever the library makes of it.
TFailure DescribeFailure(std::exception_ptr error);

}  // namespace Norvane
