#include "locale/Messages.h"

#include "core/IniFile.h"
#include "core/ProgramPath.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

struct Entry {
    const char* key;
    const char* builtIn;
};

// Catalogue order: the order of reading and of writing a language file.
const Entry kEntries[] = {
    {"msgNoConnect", "Can't connect to the specified database file."},
    {"msgNoLog", "Extracting log data error. Make shure Your database has IB Expert Log structures."},
    {"msgUnforeseen", "Unforeseen exception"},
    {"msgNoMatchedRecords", "/* Log has no matched records for specified period */"},
    {"msgWelcome", "Welcome to Norvane!!! Here comes resulting script"},
    {"msgUnknownOperation", "Unknown operation symbol"},
    {"msgUser", "Login"},
    // A date the user typed that is no date; an example date follows.
    {"msgBadBeginDate", "The start of the period is not a valid date. Type it as in this example:"},
    {"msgBadEndDate", "The end of the period is not a valid date. Type it as in this example:"},

    {"msgCharsetWindow", "A logged value cannot be read in the character set %1: choose %2 (or the database's own "
                         "character set) as the character set and create the script again."},
    {"msgCharsetCli", "A logged value cannot be read in the character set %1: run with --charset %2 (or the "
                      "database's own character set) to read it."},
    {"msgIncompleteValue", "Log entry %1, table '%2', field '%3': the value was not logged completely, so no script "
                           "can repeat or undo this change"},
    {"msgCannotReadLog", "Cannot read the change log:"},
    {"msgSQLType", "SQL type: %1"},
    {"msgXMLFailed", "XML log generation failed with error: %1"},
    {"msgInterrupted", "Interrupted: no file was written."},
    {"msgCannotCreateFile", "Cannot create file \"%1\". %2"},
    {"msgCannotWriteFile", "Cannot write file \"%1\". %2"},
    {"msgReadingLog", "Reading log: %1 of %2 entries (%3%)"},
    {"msgSkippedEntry", "Left out 1 log entry that cannot be trusted:"},
    {"msgSkippedEntries", "Left out %1 log entries that cannot be trusted:"},
    {"msgSkippedMore", "and %1 more"},

    {"msgTimedOut", "Timed out: %1"},
    {"msgNoAnswer", "the database did not answer within %1 s"},
    {"msgNothingRead", "nothing was read from %1 for %2 s"},
    {"msgCannotWritePath", "Cannot write %1: %2"},
    {"msgStandardOutput", "standard output"},
    {"msgCannotWriteTempIn", "Cannot write a temporary file in %1: %2"},
    {"msgCannotWriteScript", "Cannot write the script"},
    {"msgCannotReadTemp", "Cannot read the script's temporary file"},
    {"msgPartialMatch", "Warning: 1 statement of the script (table %1) find their row by the logged values of a "
                        "table without a key, and the log left out some of its columns: such a statement may change "
                        "another row that is equal in the values logged."},
    {"msgPartialMatchesTable", "Warning: %1 statements of the script (table %2) find their row by the logged values "
                               "of a table without a key, and the log left out some of its columns: such a statement "
                               "may change another row that is equal in the values logged."},
    {"msgPartialMatchesTables", "Warning: %1 statements of the script (tables %2) find their row by the logged "
                                "values of a table without a key, and the log left out some of its columns: such a "
                                "statement may change another row that is equal in the values logged."},
    {"msgInvalidEntry", "Log entry %1, table '%2': %3, so no statement is made of it"},
    {"msgNoOperationLetter", "it has no operation letter"},
    {"msgBadOperationLetter", "its operation letter '%1' is none of I, U and D"},
    {"msgNoSuchTable", "the database has no table of that name"},
    {"msgNotUserTable", "it is not a user table of the database (a system table, a view, a temporary or external "
                        "table, or the change log's own)"},
    {"msgTableNameControl", "its table name '%1' holds a control character"},
    {"msgFieldNameControl", "its field name '%1' holds a control character"},
    {"msgKeyFieldNameControl", "its key field name '%1' holds a control character"},
    {"msgTableNameQuotes", "its table name '%1' cannot be written without quotes, which a dialect 1 database does "
                           "not have"},
    {"msgFieldNameQuotes", "its field name '%1' cannot be written without quotes, which a dialect 1 database does "
                           "not have"},
    {"msgKeyFieldNameQuotes", "its key field name '%1' cannot be written without quotes, which a dialect 1 database "
                              "does not have"},
    {"msgUserNameControl", "its user name '%1' holds a control character"},
    {"msgKeyFieldTwice", "its key field '%1' is logged twice"},
    {"msgKeyFieldNoKey", "it names a key field, '%1', but the table has no key"},
    {"msgKeyFieldNotInKey", "its key field '%1' is not a column of the table's key (%2)"},
    {"msgKeyIncomplete", "its key rows do not name every column of the table's key (%1)"},
    {"msgFieldTwice", "its field '%1' is logged twice"},
    {"msgUnknownFieldType", "Unknown field type."},
    {"msgFieldTable", "Table name: '%1'"},
    {"msgFieldName", "Field name: '%1'"},
    {"msgFieldTypeCode", "Field type: %1"},
    {"msgApplying", "Applying: %1 of %2 entries (%3%)"},
    {"msgAppliedNone", "Applied no entries: none of the period was left to apply ('%1')."},
    {"msgUndidNone", "Undid no entries: none of the period was left to undo ('%1')."},
    {"msgAppliedOne", "Applied 1 log entry of '%1' in %2 s:"},
    {"msgAppliedMany", "Applied %1 log entries of '%2' in %3 s:"},
    {"msgUndidOne", "Undid 1 log entry of '%1' in %2 s:"},
    {"msgUndidMany", "Undid %1 log entries of '%2' in %3 s:"},
    {"msgAppliedTable", "%1 %2 inserts %3 updates %4 deletes"},
    {"msgTriggersRestoredFirst", "%1 triggers that an earlier run had left off were switched on first."},
    {"msgTriggersBackOn", "%1 triggers of the changed tables were off meanwhile and are on again."},
    {"msgGeneratorsMoved", "%1 generators were moved up to the source's values."},
    {"msgTriggersSwitchedOn", "%1 triggers were switched on again."},
    {"msgInterruptedApply", "Interrupted: nothing was applied."},
    {"msgInterruptedUndo", "Interrupted: nothing was undone."},
    {"msgCannotReadState", "Cannot read the state file \"%1\". %2"},
    {"msgNoStateFile", "The file \"%1\" is no state file of norvane-cli"},
    {"msgStateOtherSource", "The state file \"%1\" belongs to another source than '%2': give --source-name its "
                            "source's name, or another file"},
    {"msgStateBadLine", "Not a line of a state file: '%1'"},
    {"msgStateNoFloor", "Not a state file: it has no line floor="},
    {"msgStateOverlap", "The state file's received ids overlap; it was not written by this program"},
    {"msgLogIdsWentBack", "The source's log ids went back: its generator IBE$LOG_TABLES_GEN stands at %1, but "
                          "entries up to %2 were received from it already. The log was emptied and begun again, or "
                          "this is another database of the same name: give the source a new name (--source-name) to "
                          "start its bookkeeping anew"},
    {"msgAnotherRun", "Another run for the source '%1' is changing this database, or changed it after this run "
                      "began: %2"},
    {"msgRefusesBookTables", "The target refuses its bookkeeping tables: %1"},
    {"msgRefusesRestore", "The target refuses to switch on the triggers an earlier run left off: %1"},
    {"msgRefusesReadBook", "The target refuses to read its bookkeeping: %1"},
    {"msgRefusesSwitchOff", "The target refuses to switch its triggers off: %1"},
    {"msgRefusesWriteBook", "The target refuses to write its bookkeeping: %1"},
    {"msgRefusesGenerators", "The target refuses to move its generators: %1"},
    {"msgTriggersLeftOff", "The target's triggers that this run switched off could not be switched on again (%1); "
                           "run norvane-cli apply --restore-triggers on it"},
    {"msgTriggersLeftOffAfter", "The target's triggers that this run switched off could not be switched on again "
                                "(%1); run norvane-cli apply --restore-triggers on it. The run had failed before: %2"},
    {"msgConflictApply", "Conflict at log entry %1, %2: %3. Nothing was applied: the target is as it was."},
    {"msgConflictUndo", "Conflict undoing log entry %1, %2: %3. Nothing was undone: the database is as it was."},
    {"msgDoingInsert", "an insert into %1"},
    {"msgDoingUpdate", "an update of %1"},
    {"msgDoingDelete", "a delete from %1"},
    {"msgDoingChange", "a change of %1"},
    {"msgConflictRefused", "the target refuses it: %1"},
    {"msgConflictNoMatch", "no row of the table holds the logged values"},
    {"msgConflictNoRow", "the target has no such row"},
    {"msgConflictTargetHolds", "the target's row holds %1 = %2, where the log has %3 before the change"},
    {"msgConflictRowHolds", "the row holds %1 = %2, where the entry left %3"},
    {"msgConflictNotFound", "the row holds the logged values, yet the change did not find it"},
    {"msgNoKeyForLater", "the table has no key by which to find the later change"},
    {"msgLaterChange", "the later change that stands in the way is log entry %1, %2 by %3 at %4"},
    {"msgNoLaterChange", "no later entry of the log changed that row: it was changed without the log"},
    {"msgCutShort", "... (%1 bytes)"},
    {"msgLogInterrupted", "Interrupted: what was under way was rolled back."},
    {"msgPurging", "Purging: %1 of %2 entries (%3%)"},
    {"msgRightsInstall", "%1 may not install the change log on %2: that takes %3 or the role RDB$ADMIN. Nothing was "
                         "changed."},
    {"msgRightsPurge", "%1 may not purge the change log on %2: that takes %3 or the role RDB$ADMIN. Nothing was "
                       "changed."},
    {"msgRightsRemove", "%1 may not remove the change log on %2: that takes %3 or the role RDB$ADMIN. Nothing was "
                        "changed."},
    {"msgRightsSysdba", "SYSDBA, the database's owner,"},
    {"msgRightsOwner", "the database's owner (%1), SYSDBA"},
    {"msgLogOtherShape", "The change log on %1 is of another shape: %2 has no column %3, which cannot be added to "
                         "the rows it holds. Nothing was changed."},
    {"msgLogNotInstalled", "The change log cannot be installed on %1; nothing was changed. The database said:"},
    {"msgNoRecordKept", "%1 keeps no record of what it received (no NORVANE$SOURCES): it is no target of norvane-cli "
                        "apply. Nothing was purged."},
    {"msgReceivedNothing", "%1 has received nothing from the source %2 (--source-name names the source as apply "
                           "knows it). Nothing was purged."},
    {"msgNoLogStatus", "No change log is installed on %1 (no %2): norvane-cli log install -d %1 installs one."},
    {"msgNoLogPurge", "No change log is installed on %1 (no %2): nothing was purged."},
    {"msgNoLogRemove", "No change log is installed on %1: nothing was removed."},
    {"msgNoLogRemoveTables", "No change log is installed on %1 (its tables are there, without triggers; --drop-data "
                             "drops them): nothing was removed."},
    {"msgLogUnreadable", "The change log of %1 cannot be read by this user: %2"},
    {"msgLogInstalled", "Change log installed on %1 (character set %2)."},
    {"msgLogUpdated", "Change log brought up to date on %1 (character set %2)."},
    {"msgGeneratorRaised", "IBE$LOG_TABLES_GEN moved up to the log's highest id, %1."},
    {"msgLogStatusOf", "Change log of %1 (character set %2, dialect %3)"},
    {"msgStatusEntries", "Entries: %1"},
    {"msgStatusEntriesFrom", "Entries: %1, from %2 to %3"},
    {"msgStatusIncomplete", "Incomplete entries: %1"},
    {"msgIncompleteNotMarked", "not marked by this log's shape"},
    {"msgStatusLogTables", "Log tables: %1"},
    {"msgTableRows", "%1 %2 rows"},
    {"msgSizeKiB", "%1 KiB"},
    {"msgSizeMiB", "%1 MiB"},
    {"msgSizeUnknown", "Their size is not known: %1"},
    {"msgStatsNoTables", "The statistics name none of the tables"},
    {"msgPurged", "Purged %1 log entries stamped before %2 from %3 (%4 key rows, %5 field rows)."},
    {"msgPurgeKept", "Kept %1 entries as old that not every target has received."},
    {"msgLogRemoved", "Change log removed from %1."},
    {"msgLogDataKept", "The log's tables and entries are kept; --drop-data drops them."},
    {"msgNone", "none"},
    {"msgListCreated", "Created"},
    {"msgListColumnsAdded", "Columns added"},
    {"msgListLogged", "Tables logged"},
    {"msgListNewlyLogged", "Newly logged"},
    {"msgListStaleTriggers", "Triggers of tables no longer logged, dropped"},
    {"msgListPartlyLogged", "Tables partly logged (a log trigger missing or inactive; log install mends it)"},
    {"msgListNotLogged", "Tables not logged"},
    {"msgListTriggersDropped", "Triggers dropped"},
    {"msgListDroppedData", "Dropped with every entry"},
    {"msgListDropped", "Dropped"},
    {"msgObjectTable", "table %1"},
    {"msgObjectGenerator", "generator %1"},
    {"msgObjectFunction", "function %1"},
    {"msgObjectProcedure", "procedure %1"},
    {"msgObjectIndex", "index %1"},
    {"msgLogInstallQuestion", "Install the change log on this database, or bring it up to date?"},
    {"msgLogInstallNote", "It makes the log tables and a logging trigger on each table; no table of yours and no row "
                          "is changed."},

    {"msgDbConnectFailed", "Cannot connect to the database:"},
    {"msgDbLocation", "Database location:"},
    {"msgDbNoTransaction", "The query cannot run: no transaction is active"},
    {"msgDbQueryText", "Query text:"},
    {"msgDbParamValues", "Parameter values:"},
    {"msgDbNotInQuery", "not in the query"},
    {"msgDbQueryFailed", "The query failed:"},
    {"msgDbTooShort", "The query text is suspiciously short"},
    {"msgDbStartWhileDisconnected", "A transaction cannot start while no database is connected"},
    {"msgDbEndWithoutTransaction", "No transaction has started, so none can end"},
    {"msgDbConnectInTransaction", "The database cannot be connected or disconnected while a transaction is open"},
    {"msgDbStartInTransaction", "A new transaction cannot start before the previous one has ended"},
    {"msgDbStartFailed", "The transaction cannot start:"},
    {"msgDbRollbackFailed", "The transaction cannot be rolled back:"},

    {"msgNoXMLLog", "No XML log to save: no change log has been read yet (F9)."},
    {"msgUnknownCharset", "\"%1\" is not a Firebird character set this program knows."},
    {"msgNoDatabase", "Type the database's location (its file, or host:path on a server) or pick its file (Ctrl+O)."},
    {"msgPeriodReversed", "The period starts after it ends: %1 is later than %2."},
    {"msgEntriesRead", "%1 log entries read"},
    {"msgCancelled", "Cancelled"},
    {"msgLargePage", "This page holds %1 MiB, too much to edit here: it is shown read only, and Save as writes it "
                     "whole."},
    {"msgSelectionTooLarge", "The selection holds %1 MiB, too much for the clipboard: save the page to a file "
                             "instead (Save as)."},
    {"msgNotFound", "\"%1\" is not on this page."},
    {"msgReadmeTitle", "Norvane readme"},
    {"msgOpenDatabaseTitle", "Select database file for creating log script"},
    {"msgSaveSQLTitle", "Save SQL script as"},
    {"msgSaveXMLTitle", "Save XML log as"},
    {"msgFilterDatabases", "Firebird and InterBase databases"},
    {"msgFilterInterBase", "Interbase databases"},
    {"msgFilterFirebird", "Firebird databases"},
    {"msgFilterAll", "All files"},
    {"msgFilterSQL", "SQL-Files"},
    {"msgFilterText", "Text files"},
    {"msgFilterXML", "XML-Files"},

    {"msgBadTime",
     "The time of day is not valid: type it as hh:mm (14:30, say), or leave the field empty for the whole day."},
    {"msgNoOperation", "Choose at least one of inserts, updates and deletes."},
    {"msgEntriesApplied", "%1 log entries applied"},
    {"msgEntriesUndone", "%1 log entries undone"},
    {"msgApplyTargetTitle", "Apply to database"},
    {"msgApplyTargetNote", "The database the changes go to: its file, or host:path on a server. It keeps a record "
                           "of what it received, so that no change is applied twice."},
    {"msgApplyTargetLocation", "Database:"},
    {"msgApplyTargetUser", "User name:"},
    {"msgApplyTargetPassword", "Password:"},
    {"msgApplyTargetRemember", "Remember password"},
    {"msgApplyQuestion", "Apply these %1 log entries of %2 to %3, in one transaction that commits only when every "
                         "change finds its row as the log says?"},
    {"msgUndoQuestion", "Undo these %1 log entries in %2 itself, newest first, in one transaction that commits only "
                        "when every row still holds what its change left?"},
    {"msgApplyTable", "%1: %2 inserts, %3 updates, %4 deletes"},
    {"msgApplyNothing", "None of the period's log entries that the filters take is left to apply to %1."},
    {"msgUndoNothing", "None of the period's log entries that the filters take is left to undo in %1."},
    {"msgApplyDone", "Applied %1 log entries to %2 in %3 s."},
    {"msgUndoDone", "Undid %1 log entries in %2 in %3 s."},
};

constexpr std::size_t kCount = std::size(kEntries);

std::vector<std::string> BuiltInTexts()
{
    std::vector<std::string> result;
    for (const Entry& e : kEntries)
        result.emplace_back(e.builtIn);
    return result;
}

// Made before the names below refer into it (one translation unit: in
// order of definition); never resized.
std::vector<std::string> texts = BuiltInTexts();

const std::string& Text(const char* key)
{
    for (std::size_t i = 0; i < kCount; ++i)
        if (std::strcmp(kEntries[i].key, key) == 0)
            return texts[i];
    // A name without its entry in the table: the program is built wrong.
    std::abort();
}

const char kSection[] = "Messages";

}  // namespace

const std::string& msgNoConnect = Text("msgNoConnect");
const std::string& msgNoLog = Text("msgNoLog");
const std::string& msgUnforeseen = Text("msgUnforeseen");
const std::string& msgNoMatchedRecords = Text("msgNoMatchedRecords");
const std::string& msgWelcome = Text("msgWelcome");
const std::string& msgUnknownOperation = Text("msgUnknownOperation");
const std::string& msgUser = Text("msgUser");
const std::string& msgBadBeginDate = Text("msgBadBeginDate");
const std::string& msgBadEndDate = Text("msgBadEndDate");

const std::string& msgCharsetWindow = Text("msgCharsetWindow");
const std::string& msgCharsetCli = Text("msgCharsetCli");
const std::string& msgIncompleteValue = Text("msgIncompleteValue");
const std::string& msgCannotReadLog = Text("msgCannotReadLog");
const std::string& msgSQLType = Text("msgSQLType");
const std::string& msgXMLFailed = Text("msgXMLFailed");
const std::string& msgInterrupted = Text("msgInterrupted");
const std::string& msgCannotCreateFile = Text("msgCannotCreateFile");
const std::string& msgCannotWriteFile = Text("msgCannotWriteFile");
const std::string& msgReadingLog = Text("msgReadingLog");
const std::string& msgSkippedEntry = Text("msgSkippedEntry");
const std::string& msgSkippedEntries = Text("msgSkippedEntries");
const std::string& msgSkippedMore = Text("msgSkippedMore");

const std::string& msgTimedOut = Text("msgTimedOut");
const std::string& msgNoAnswer = Text("msgNoAnswer");
const std::string& msgNothingRead = Text("msgNothingRead");
const std::string& msgCannotWritePath = Text("msgCannotWritePath");
const std::string& msgStandardOutput = Text("msgStandardOutput");
const std::string& msgCannotWriteTempIn = Text("msgCannotWriteTempIn");
const std::string& msgCannotWriteScript = Text("msgCannotWriteScript");
const std::string& msgCannotReadTemp = Text("msgCannotReadTemp");
const std::string& msgPartialMatch = Text("msgPartialMatch");
const std::string& msgPartialMatchesTable = Text("msgPartialMatchesTable");
const std::string& msgPartialMatchesTables = Text("msgPartialMatchesTables");
const std::string& msgInvalidEntry = Text("msgInvalidEntry");
const std::string& msgNoOperationLetter = Text("msgNoOperationLetter");
const std::string& msgBadOperationLetter = Text("msgBadOperationLetter");
const std::string& msgNoSuchTable = Text("msgNoSuchTable");
const std::string& msgNotUserTable = Text("msgNotUserTable");
const std::string& msgTableNameControl = Text("msgTableNameControl");
const std::string& msgFieldNameControl = Text("msgFieldNameControl");
const std::string& msgKeyFieldNameControl = Text("msgKeyFieldNameControl");
const std::string& msgTableNameQuotes = Text("msgTableNameQuotes");
const std::string& msgFieldNameQuotes = Text("msgFieldNameQuotes");
const std::string& msgKeyFieldNameQuotes = Text("msgKeyFieldNameQuotes");
const std::string& msgUserNameControl = Text("msgUserNameControl");
const std::string& msgKeyFieldTwice = Text("msgKeyFieldTwice");
const std::string& msgKeyFieldNoKey = Text("msgKeyFieldNoKey");
const std::string& msgKeyFieldNotInKey = Text("msgKeyFieldNotInKey");
const std::string& msgKeyIncomplete = Text("msgKeyIncomplete");
const std::string& msgFieldTwice = Text("msgFieldTwice");
const std::string& msgUnknownFieldType = Text("msgUnknownFieldType");
const std::string& msgFieldTable = Text("msgFieldTable");
const std::string& msgFieldName = Text("msgFieldName");
const std::string& msgFieldTypeCode = Text("msgFieldTypeCode");
const std::string& msgApplying = Text("msgApplying");
const std::string& msgAppliedNone = Text("msgAppliedNone");
const std::string& msgUndidNone = Text("msgUndidNone");
const std::string& msgAppliedOne = Text("msgAppliedOne");
const std::string& msgAppliedMany = Text("msgAppliedMany");
const std::string& msgUndidOne = Text("msgUndidOne");
const std::string& msgUndidMany = Text("msgUndidMany");
const std::string& msgAppliedTable = Text("msgAppliedTable");
const std::string& msgTriggersRestoredFirst = Text("msgTriggersRestoredFirst");
const std::string& msgTriggersBackOn = Text("msgTriggersBackOn");
const std::string& msgGeneratorsMoved = Text("msgGeneratorsMoved");
const std::string& msgTriggersSwitchedOn = Text("msgTriggersSwitchedOn");
const std::string& msgInterruptedApply = Text("msgInterruptedApply");
const std::string& msgInterruptedUndo = Text("msgInterruptedUndo");
const std::string& msgCannotReadState = Text("msgCannotReadState");
const std::string& msgNoStateFile = Text("msgNoStateFile");
const std::string& msgStateOtherSource = Text("msgStateOtherSource");
const std::string& msgStateBadLine = Text("msgStateBadLine");
const std::string& msgStateNoFloor = Text("msgStateNoFloor");
const std::string& msgStateOverlap = Text("msgStateOverlap");
const std::string& msgLogIdsWentBack = Text("msgLogIdsWentBack");
const std::string& msgAnotherRun = Text("msgAnotherRun");
const std::string& msgRefusesBookTables = Text("msgRefusesBookTables");
const std::string& msgRefusesRestore = Text("msgRefusesRestore");
const std::string& msgRefusesReadBook = Text("msgRefusesReadBook");
const std::string& msgRefusesSwitchOff = Text("msgRefusesSwitchOff");
const std::string& msgRefusesWriteBook = Text("msgRefusesWriteBook");
const std::string& msgRefusesGenerators = Text("msgRefusesGenerators");
const std::string& msgTriggersLeftOff = Text("msgTriggersLeftOff");
const std::string& msgTriggersLeftOffAfter = Text("msgTriggersLeftOffAfter");
const std::string& msgConflictApply = Text("msgConflictApply");
const std::string& msgConflictUndo = Text("msgConflictUndo");
const std::string& msgDoingInsert = Text("msgDoingInsert");
const std::string& msgDoingUpdate = Text("msgDoingUpdate");
const std::string& msgDoingDelete = Text("msgDoingDelete");
const std::string& msgDoingChange = Text("msgDoingChange");
const std::string& msgConflictRefused = Text("msgConflictRefused");
const std::string& msgConflictNoMatch = Text("msgConflictNoMatch");
const std::string& msgConflictNoRow = Text("msgConflictNoRow");
const std::string& msgConflictTargetHolds = Text("msgConflictTargetHolds");
const std::string& msgConflictRowHolds = Text("msgConflictRowHolds");
const std::string& msgConflictNotFound = Text("msgConflictNotFound");
const std::string& msgNoKeyForLater = Text("msgNoKeyForLater");
const std::string& msgLaterChange = Text("msgLaterChange");
const std::string& msgNoLaterChange = Text("msgNoLaterChange");
const std::string& msgCutShort = Text("msgCutShort");
const std::string& msgLogInterrupted = Text("msgLogInterrupted");
const std::string& msgPurging = Text("msgPurging");
const std::string& msgRightsInstall = Text("msgRightsInstall");
const std::string& msgRightsPurge = Text("msgRightsPurge");
const std::string& msgRightsRemove = Text("msgRightsRemove");
const std::string& msgRightsSysdba = Text("msgRightsSysdba");
const std::string& msgRightsOwner = Text("msgRightsOwner");
const std::string& msgLogOtherShape = Text("msgLogOtherShape");
const std::string& msgLogNotInstalled = Text("msgLogNotInstalled");
const std::string& msgNoRecordKept = Text("msgNoRecordKept");
const std::string& msgReceivedNothing = Text("msgReceivedNothing");
const std::string& msgNoLogStatus = Text("msgNoLogStatus");
const std::string& msgNoLogPurge = Text("msgNoLogPurge");
const std::string& msgNoLogRemove = Text("msgNoLogRemove");
const std::string& msgNoLogRemoveTables = Text("msgNoLogRemoveTables");
const std::string& msgLogUnreadable = Text("msgLogUnreadable");
const std::string& msgLogInstalled = Text("msgLogInstalled");
const std::string& msgLogUpdated = Text("msgLogUpdated");
const std::string& msgGeneratorRaised = Text("msgGeneratorRaised");
const std::string& msgLogStatusOf = Text("msgLogStatusOf");
const std::string& msgStatusEntries = Text("msgStatusEntries");
const std::string& msgStatusEntriesFrom = Text("msgStatusEntriesFrom");
const std::string& msgStatusIncomplete = Text("msgStatusIncomplete");
const std::string& msgIncompleteNotMarked = Text("msgIncompleteNotMarked");
const std::string& msgStatusLogTables = Text("msgStatusLogTables");
const std::string& msgTableRows = Text("msgTableRows");
const std::string& msgSizeKiB = Text("msgSizeKiB");
const std::string& msgSizeMiB = Text("msgSizeMiB");
const std::string& msgSizeUnknown = Text("msgSizeUnknown");
const std::string& msgStatsNoTables = Text("msgStatsNoTables");
const std::string& msgPurged = Text("msgPurged");
const std::string& msgPurgeKept = Text("msgPurgeKept");
const std::string& msgLogRemoved = Text("msgLogRemoved");
const std::string& msgLogDataKept = Text("msgLogDataKept");
const std::string& msgNone = Text("msgNone");
const std::string& msgListCreated = Text("msgListCreated");
const std::string& msgListColumnsAdded = Text("msgListColumnsAdded");
const std::string& msgListLogged = Text("msgListLogged");
const std::string& msgListNewlyLogged = Text("msgListNewlyLogged");
const std::string& msgListStaleTriggers = Text("msgListStaleTriggers");
const std::string& msgListPartlyLogged = Text("msgListPartlyLogged");
const std::string& msgListNotLogged = Text("msgListNotLogged");
const std::string& msgListTriggersDropped = Text("msgListTriggersDropped");
const std::string& msgListDroppedData = Text("msgListDroppedData");
const std::string& msgListDropped = Text("msgListDropped");
const std::string& msgObjectTable = Text("msgObjectTable");
const std::string& msgObjectGenerator = Text("msgObjectGenerator");
const std::string& msgObjectFunction = Text("msgObjectFunction");
const std::string& msgObjectProcedure = Text("msgObjectProcedure");
const std::string& msgObjectIndex = Text("msgObjectIndex");
const std::string& msgLogInstallQuestion = Text("msgLogInstallQuestion");
const std::string& msgLogInstallNote = Text("msgLogInstallNote");

const std::string& msgDbConnectFailed = Text("msgDbConnectFailed");
const std::string& msgDbLocation = Text("msgDbLocation");
const std::string& msgDbNoTransaction = Text("msgDbNoTransaction");
const std::string& msgDbQueryText = Text("msgDbQueryText");
const std::string& msgDbParamValues = Text("msgDbParamValues");
const std::string& msgDbNotInQuery = Text("msgDbNotInQuery");
const std::string& msgDbQueryFailed = Text("msgDbQueryFailed");
const std::string& msgDbTooShort = Text("msgDbTooShort");
const std::string& msgDbStartWhileDisconnected = Text("msgDbStartWhileDisconnected");
const std::string& msgDbEndWithoutTransaction = Text("msgDbEndWithoutTransaction");
const std::string& msgDbConnectInTransaction = Text("msgDbConnectInTransaction");
const std::string& msgDbStartInTransaction = Text("msgDbStartInTransaction");
const std::string& msgDbStartFailed = Text("msgDbStartFailed");
const std::string& msgDbRollbackFailed = Text("msgDbRollbackFailed");

const std::string& msgNoXMLLog = Text("msgNoXMLLog");
const std::string& msgUnknownCharset = Text("msgUnknownCharset");
const std::string& msgNoDatabase = Text("msgNoDatabase");
const std::string& msgPeriodReversed = Text("msgPeriodReversed");
const std::string& msgEntriesRead = Text("msgEntriesRead");
const std::string& msgCancelled = Text("msgCancelled");
const std::string& msgLargePage = Text("msgLargePage");
const std::string& msgSelectionTooLarge = Text("msgSelectionTooLarge");
const std::string& msgNotFound = Text("msgNotFound");
const std::string& msgReadmeTitle = Text("msgReadmeTitle");
const std::string& msgOpenDatabaseTitle = Text("msgOpenDatabaseTitle");
const std::string& msgSaveSQLTitle = Text("msgSaveSQLTitle");
const std::string& msgSaveXMLTitle = Text("msgSaveXMLTitle");
const std::string& msgFilterDatabases = Text("msgFilterDatabases");
const std::string& msgFilterInterBase = Text("msgFilterInterBase");
const std::string& msgFilterFirebird = Text("msgFilterFirebird");
const std::string& msgFilterAll = Text("msgFilterAll");
const std::string& msgFilterSQL = Text("msgFilterSQL");
const std::string& msgFilterText = Text("msgFilterText");
const std::string& msgFilterXML = Text("msgFilterXML");
const std::string& msgBadTime = Text("msgBadTime");
const std::string& msgNoOperation = Text("msgNoOperation");
const std::string& msgEntriesApplied = Text("msgEntriesApplied");
const std::string& msgEntriesUndone = Text("msgEntriesUndone");
const std::string& msgApplyTargetTitle = Text("msgApplyTargetTitle");
const std::string& msgApplyTargetNote = Text("msgApplyTargetNote");
const std::string& msgApplyTargetLocation = Text("msgApplyTargetLocation");
const std::string& msgApplyTargetUser = Text("msgApplyTargetUser");
const std::string& msgApplyTargetPassword = Text("msgApplyTargetPassword");
const std::string& msgApplyTargetRemember = Text("msgApplyTargetRemember");
const std::string& msgApplyQuestion = Text("msgApplyQuestion");
const std::string& msgUndoQuestion = Text("msgUndoQuestion");
const std::string& msgApplyTable = Text("msgApplyTable");
const std::string& msgApplyNothing = Text("msgApplyNothing");
const std::string& msgUndoNothing = Text("msgUndoNothing");
const std::string& msgApplyDone = Text("msgApplyDone");
const std::string& msgUndoDone = Text("msgUndoDone");

std::string FormatMessage(const std::string& text, std::initializer_list<std::string> args)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const std::size_t index = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && index < args.size()) {
            result += *(args.begin() + index);
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

template <class Ini>
void LoadMessagesFrom(const Ini& ini)
{
    for (std::size_t i = 0; i < kCount; ++i)
        texts[i] = ini.ReadString(kSection, kEntries[i].key, texts[i]);
}

void LoadMessages(const std::string& path)
{
    LoadMessagesFrom(TIniFile(path));
}

void LoadMessagesFromText(const std::string& text)
{
    LoadMessagesFrom(TIniText(text));
}

void ExportMessages(const std::string& path)
{
    TIniFile ini(path);
    for (std::size_t i = 0; i < kCount; ++i)
        ini.WriteString(kSection, kEntries[i].key, texts[i]);
}

void ExportMessages()
{
    ExportMessages(ExecutableDir() + "English.ini");
}

void ResetMessages()
{
    for (std::size_t i = 0; i < kCount; ++i)
        texts[i] = kEntries[i].builtIn;
}
