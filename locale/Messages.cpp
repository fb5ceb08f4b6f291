#include "locale/Messages.h"

#include "app/core/IniFile.h"
#include "app/core/ProgramPath.h"

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
    {"msgCannotCreateTemp", "Cannot create a temporary file. %1"},
    {"msgCannotWriteOutput", "Cannot write the script to standard output"},
    {"msgReadingLog", "Reading log: %1 of %2 entries (%3%)"},
    {"msgSkippedEntry", "Left out 1 log entry that cannot be trusted:"},
    {"msgSkippedEntries", "Left out %1 log entries that cannot be trusted:"},
    {"msgSkippedMore", "and %1 more"},

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
const std::string& msgCannotCreateTemp = Text("msgCannotCreateTemp");
const std::string& msgCannotWriteOutput = Text("msgCannotWriteOutput");
const std::string& msgReadingLog = Text("msgReadingLog");
const std::string& msgSkippedEntry = Text("msgSkippedEntry");
const std::string& msgSkippedEntries = Text("msgSkippedEntries");
const std::string& msgSkippedMore = Text("msgSkippedMore");

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
