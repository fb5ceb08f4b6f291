#include "engine/Failure.h"

#include "core/AtomicFile.h"
#include "db/Dbmanagererror.h"
#include "db/Tsignalwatch.h"
#include "engine/Capplier.h"
#include "engine/Cfieldvalue.h"
#include "engine/Clogreader.h"
#include "engine/Cnorvane.h"
#include "engine/Cselection.h"
#include "locale/Messages.h"

#include <csignal>
#include <string>

namespace Norvane {

TFailure DescribeFailure(std::exception_ptr error)
{
    TFailure failure;
    if (const int signal = TSignalWatch::Caught())
        return {TFailureKind::Interrupted, "Interrupted", {}, 128 + signal, {}};
    if (const int seconds = TSignalWatch::TimedOut())
        return {TFailureKind::TimedOut, FormatMessage(msgNoAnswer, {std::to_string(seconds)}), {}, 10, {}};
    try {
        std::rethrow_exception(error);
    } catch (const InterruptedError& e) {
        failure = {TFailureKind::Interrupted, e.Message, {}, 128 + SIGINT, {}};
    } catch (const ConnectError& e) {
        failure = {TFailureKind::NoConnect, e.Message, {}, 3, {}};
    } catch (const ConnectionLostError& e) {
        // Not a missing change log: the log was being read.
        failure = {TFailureKind::NoConnect, e.Message, {}, 3, {}};
    } catch (const CharsetError& e) {
        // Before SQLError, which it is.
        failure = {TFailureKind::Charset, e.Message, e.CharacterSet, 6, {}};
    } catch (const SQLError& e) {
        failure = {TFailureKind::NoLog, e.Message, {}, 4, {}};
    } catch (const NorvaneImpl::CEInvalidEntry& e) {
        failure = {TFailureKind::InvalidEntry, e.what(), {}, 7, {}};
    } catch (const CEIncompleteValue& e) {
        failure = {TFailureKind::IncompleteValue, e.what(), {}, 5, {}};
    } catch (const NorvaneImpl::CEUnknownIBType& e) {
        failure = {TFailureKind::NoSQLForm, e.what(), {}, 5, NorvaneImpl::IBTypeName(e.TypeCode())};
    } catch (const FileError& e) {
        // The core words its file errors in English; the catalogue's words.
        failure = {TFailureKind::NotWritten,
                   FormatMessage(e.creating ? msgCannotCreateFile : msgCannotWriteFile, {e.path, e.reason}),
                   {},
                   9,
                   {}};
    } catch (const SpoolError& e) {
        failure = {TFailureKind::NotWritten, FormatMessage(msgCannotWriteTempIn, {e.folder, e.reason}), {}, 9, {}};
    } catch (const WriteError& e) {
        failure = {TFailureKind::NotWritten, e.Message, {}, 9, {}};
    } catch (const TimeoutError& e) {
        failure = {TFailureKind::TimedOut, e.Message, {}, 10, {}};
    } catch (const CEConflict& e) {
        failure = {TFailureKind::Conflict, e.what(), {}, 11, {}};
    } catch (const NorvaneImpl::CEBookkeeping& e) {
        failure = {TFailureKind::Bookkeeping, e.what(), {}, 12, {}};
    } catch (const CETriggersLeftOff& e) {
        failure = {TFailureKind::TriggersLeftOff, e.what(), {}, 13, {}};
    } catch (const CETargetRefused& e) {
        failure = {TFailureKind::TargetRefused, e.what(), {}, 14, {}};
    } catch (const Exception& e) {
        failure = {TFailureKind::Failed, e.Message, {}, 1, {}};
    } catch (const std::exception& e) {
        failure = {TFailureKind::Unforeseen, e.what(), {}, 1, {}};
    } catch (...) {
        failure = {TFailureKind::Unknown, {}, {}, 1, {}};
    }
    return failure;
}

}  // namespace Norvane
