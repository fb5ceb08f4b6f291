#pragma once
#include <initializer_list>
#include <string>

// The program's own messages: texts read directly by their users, in
// the system 8-bit code page. They start as the built-in English texts and
// are replaced from the Messages section of a language file.
//
// A message is one line (a language file cannot hold a line break); "%1",
// "%2", ... stand for what FormatMessage fills in. Adding one: its name
// here, its key and English text in the table of Messages.cpp, its
// definition below that table, and its line in the Messages section of both
// built-in language files (res/locale-10120-english.ini,
// res/locale-10121-russian.ini); a test checks that both files have every key.
extern const std::string& msgNoConnect;
extern const std::string& msgNoLog;
extern const std::string& msgUnforeseen;
extern const std::string& msgNoMatchedRecords;
extern const std::string& msgWelcome;
extern const std::string& msgUnknownOperation;
extern const std::string& msgUser;
// The window's answers to a period date that is no date.
extern const std::string& msgBadBeginDate;
extern const std::string& msgBadEndDate;

// A run's failures, as the window and norvane-cli tell them.
extern const std::string& msgCharsetWindow;  // %1 the run's set, %2 the set that reads it
extern const std::string& msgCharsetCli;     // the same for --charset
extern const std::string& msgIncompleteValue;  // %1 log id, %2 table, %3 field
extern const std::string& msgCannotReadLog;
extern const std::string& msgSQLType;  // %1 the type in words
extern const std::string& msgXMLFailed;  // %1 the XML layer's reason
extern const std::string& msgInterrupted;
// Files: %1 the file, %2 the system's reason.
extern const std::string& msgCannotCreateFile;
extern const std::string& msgCannotWriteFile;
extern const std::string& msgCannotCreateTemp;  // %1 the system's reason
extern const std::string& msgCannotWriteOutput;
// norvane-cli's lines about a run.
extern const std::string& msgReadingLog;  // %1 done, %2 total, %3 percent
extern const std::string& msgSkippedEntry;
extern const std::string& msgSkippedEntries;  // %1 how many
extern const std::string& msgSkippedMore;     // %1 how many more

// The database layer's diagnosis, composed into its errors as they are made.
extern const std::string& msgDbConnectFailed;
extern const std::string& msgDbLocation;
extern const std::string& msgDbNoTransaction;
extern const std::string& msgDbQueryText;
extern const std::string& msgDbParamValues;
extern const std::string& msgDbNotInQuery;
extern const std::string& msgDbQueryFailed;
extern const std::string& msgDbTooShort;
extern const std::string& msgDbStartWhileDisconnected;
extern const std::string& msgDbEndWithoutTransaction;
extern const std::string& msgDbConnectInTransaction;
extern const std::string& msgDbStartInTransaction;
extern const std::string& msgDbStartFailed;
extern const std::string& msgDbRollbackFailed;

// The window.
extern const std::string& msgNoXMLLog;
extern const std::string& msgUnknownCharset;  // %1 what the user typed
extern const std::string& msgNoDatabase;
extern const std::string& msgPeriodReversed;  // %1 start, %2 end
extern const std::string& msgEntriesRead;     // %1 how many
extern const std::string& msgCancelled;
extern const std::string& msgLargePage;          // %1 MiB
extern const std::string& msgSelectionTooLarge;  // %1 MiB
extern const std::string& msgNotFound;           // %1 the text looked for
extern const std::string& msgReadmeTitle;
extern const std::string& msgOpenDatabaseTitle;
extern const std::string& msgSaveSQLTitle;
extern const std::string& msgSaveXMLTitle;
// The names of the file dialogs' filters; the patterns follow them.
extern const std::string& msgFilterDatabases;
extern const std::string& msgFilterInterBase;
extern const std::string& msgFilterFirebird;
extern const std::string& msgFilterAll;
extern const std::string& msgFilterSQL;
extern const std::string& msgFilterText;
extern const std::string& msgFilterXML;
// Filters, and applying from the window.
extern const std::string& msgBadTime;
extern const std::string& msgNoOperation;
extern const std::string& msgEntriesApplied;  // %1 how many
extern const std::string& msgEntriesUndone;   // %1 how many
extern const std::string& msgApplyTargetTitle;
extern const std::string& msgApplyTargetNote;
extern const std::string& msgApplyTargetLocation;
extern const std::string& msgApplyTargetUser;
extern const std::string& msgApplyTargetPassword;
extern const std::string& msgApplyTargetRemember;
extern const std::string& msgApplyQuestion;  // %1 entries, %2 the source, %3 the target
extern const std::string& msgUndoQuestion;   // %1 entries, %2 the database
extern const std::string& msgApplyTable;     // %1 table, %2 inserts, %3 updates, %4 deletes
extern const std::string& msgApplyNothing;   // %1 the target
extern const std::string& msgUndoNothing;    // %1 the database
extern const std::string& msgApplyDone;      // %1 entries, %2 the target, %3 seconds
extern const std::string& msgUndoDone;       // %1 entries, %2 the database, %3 seconds

// The message with "%1", "%2", ... replaced by the arguments in order; a
// "%" before anything else stays as it is.
std::string FormatMessage(const std::string& text, std::initializer_list<std::string> args);

// Replaces each text from section Messages of the language file at path; a
// key the file lacks keeps its current text. A missing file changes nothing.
void LoadMessages(const std::string& path);
// Same, from the text of a language file (a built-in one).
void LoadMessagesFromText(const std::string& text);
// Writes the current texts into section Messages of English.ini beside the
// executable, keeping the file's other content.
void ExportMessages();
// Same, into the language file at path.
void ExportMessages(const std::string& path);
// Back to the built-in texts.
void ResetMessages();
