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
// norvane-cli's lines about a run.
extern const std::string& msgReadingLog;  // %1 done, %2 total, %3 percent
extern const std::string& msgSkippedEntry;
extern const std::string& msgSkippedEntries;  // %1 how many
extern const std::string& msgSkippedMore;     // %1 how many more

// norvane-cli's run: waits, outputs, the warning of statements that may
// find another row.
extern const std::string& msgTimedOut;
extern const std::string& msgNoAnswer;  // %1 seconds
extern const std::string& msgNothingRead;  // %1 a pipe or FIFO, %2 seconds
extern const std::string& msgCannotWritePath;  // %1 an output, %2 the system's reason
extern const std::string& msgStandardOutput;
extern const std::string& msgCannotWriteTempIn;  // %1 the folder, %2 the system's reason
extern const std::string& msgCannotWriteScript;
extern const std::string& msgCannotReadTemp;
extern const std::string& msgPartialMatch;  // %1 the table
extern const std::string& msgPartialMatchesTable;  // %1 how many, %2 the table
extern const std::string& msgPartialMatchesTables;  // %1 how many, %2 the tables
// A log entry that cannot be trusted: %1 log id, %2 table, %3 the reason,
// one of those below. The engine's errors are worded in the run's character
// set (NorvaneImpl::ScriptMessage).
extern const std::string& msgInvalidEntry;
extern const std::string& msgNoOperationLetter;
extern const std::string& msgBadOperationLetter;  // %1 the letter
extern const std::string& msgNoSuchTable;
extern const std::string& msgNotUserTable;
extern const std::string& msgTableNameControl;  // %1 the name
extern const std::string& msgFieldNameControl;
extern const std::string& msgKeyFieldNameControl;
extern const std::string& msgTableNameQuotes;
extern const std::string& msgFieldNameQuotes;
extern const std::string& msgKeyFieldNameQuotes;
extern const std::string& msgUserNameControl;
extern const std::string& msgKeyFieldTwice;
extern const std::string& msgKeyFieldNoKey;
extern const std::string& msgKeyFieldNotInKey;  // %1 the field, %2 the key's columns
extern const std::string& msgKeyIncomplete;  // %1 the key's columns
extern const std::string& msgFieldTwice;
// A value of a type without an SQL form: the lines of its message.
extern const std::string& msgUnknownFieldType;
extern const std::string& msgFieldTable;
extern const std::string& msgFieldName;
extern const std::string& msgFieldTypeCode;  // %1 the type code
// norvane-cli apply and the state file.
extern const std::string& msgApplying;  // %1 done, %2 total, %3 percent
extern const std::string& msgAppliedNone;  // %1 the source's name
extern const std::string& msgUndidNone;  // %1 the database
extern const std::string& msgAppliedOne;  // %1 the source's name, %2 seconds
extern const std::string& msgAppliedMany;  // %1 how many, %2 the source's name, %3 seconds
extern const std::string& msgUndidOne;  // %1 the database, %2 seconds
extern const std::string& msgUndidMany;  // %1 how many, %2 the database, %3 seconds
extern const std::string& msgAppliedTable;  // %1 the table, %2 %3 %4 how many
extern const std::string& msgTriggersRestoredFirst;  // %1 how many
extern const std::string& msgTriggersBackOn;
extern const std::string& msgGeneratorsMoved;
extern const std::string& msgTriggersSwitchedOn;
extern const std::string& msgInterruptedApply;
extern const std::string& msgInterruptedUndo;
extern const std::string& msgCannotReadState;  // %1 the file, %2 the system's reason
extern const std::string& msgNoStateFile;  // %1 the file
extern const std::string& msgStateOtherSource;  // %1 the file, %2 the source's name
extern const std::string& msgStateBadLine;  // %1 the line
extern const std::string& msgStateNoFloor;
extern const std::string& msgStateOverlap;
extern const std::string& msgLogIdsWentBack;  // %1 the generator's value, %2 the highest id received
extern const std::string& msgAnotherRun;  // %1 the source's name, %2 the server's reason
// The target refuses the program's own work on it: %1 the server's reason.
extern const std::string& msgRefusesBookTables;
extern const std::string& msgRefusesRestore;
extern const std::string& msgRefusesReadBook;
extern const std::string& msgRefusesSwitchOff;
extern const std::string& msgRefusesWriteBook;
extern const std::string& msgRefusesGenerators;
extern const std::string& msgTriggersLeftOff;  // %1 the reason
extern const std::string& msgTriggersLeftOffAfter;  // %1 the reason, %2 the failure before
// A conflict: %1 log id, %2 the change (below) and the key, %3 what the row
// holds instead.
extern const std::string& msgConflictApply;
extern const std::string& msgConflictUndo;
extern const std::string& msgDoingInsert;  // %1 the table
extern const std::string& msgDoingUpdate;
extern const std::string& msgDoingDelete;
extern const std::string& msgDoingChange;
extern const std::string& msgConflictRefused;  // %1 the server's reason
extern const std::string& msgConflictNoMatch;
extern const std::string& msgConflictNoRow;
extern const std::string& msgConflictTargetHolds;  // %1 the column, %2 its value, %3 the logged value
extern const std::string& msgConflictRowHolds;
extern const std::string& msgConflictNotFound;
extern const std::string& msgNoKeyForLater;
extern const std::string& msgLaterChange;  // %1 log id, %2 the change, %3 user, %4 time
extern const std::string& msgNoLaterChange;
extern const std::string& msgCutShort;  // %1 the whole value's bytes
// The log commands (their texts are made UTF-8 where they are used).
extern const std::string& msgLogInterrupted;
extern const std::string& msgPurging;  // %1 done, %2 total, %3 percent
extern const std::string& msgRightsInstall;  // %1 the user, %2 the database, %3 who may (below)
extern const std::string& msgRightsPurge;
extern const std::string& msgRightsRemove;
extern const std::string& msgRightsSysdba;
extern const std::string& msgRightsOwner;  // %1 the owner
extern const std::string& msgLogOtherShape;  // %1 the database, %2 the table, %3 the column
extern const std::string& msgLogNotInstalled;  // %1 the database; the server's reason follows on lines of its own
extern const std::string& msgNoRecordKept;  // %1 the target
extern const std::string& msgReceivedNothing;  // %1 the target, %2 the source's name
extern const std::string& msgNoLogStatus;  // %1 the database, %2 the table it lacks
extern const std::string& msgNoLogPurge;
extern const std::string& msgNoLogRemove;  // %1 the database
extern const std::string& msgNoLogRemoveTables;
extern const std::string& msgLogUnreadable;  // %1 the database, %2 the server's reason
extern const std::string& msgLogInstalled;  // %1 the database, %2 the character set
extern const std::string& msgLogUpdated;
extern const std::string& msgGeneratorRaised;  // %1 the id
extern const std::string& msgLogStatusOf;  // %1 the database, %2 the character set, %3 the dialect
extern const std::string& msgStatusEntries;  // %1 how many
extern const std::string& msgStatusEntriesFrom;  // %1 how many, %2 the oldest, %3 the newest
extern const std::string& msgStatusIncomplete;  // %1 how many, or the text below
extern const std::string& msgIncompleteNotMarked;
extern const std::string& msgStatusLogTables;  // %1 the tables, each as below
extern const std::string& msgTableRows;  // %1 the table, %2 how many
extern const std::string& msgSizeKiB;  // %1 the size
extern const std::string& msgSizeMiB;
extern const std::string& msgSizeUnknown;  // %1 the reason
extern const std::string& msgStatsNoTables;
extern const std::string& msgPurged;  // %1 how many, %2 the date, %3 the database, %4 key rows, %5 field rows
extern const std::string& msgPurgeKept;  // %1 how many
extern const std::string& msgLogRemoved;  // %1 the database
extern const std::string& msgLogDataKept;
// The headings of the reports' lists: "Tables logged (2): A, B", "Tables
// not logged: none".
extern const std::string& msgNone;
extern const std::string& msgListCreated;
extern const std::string& msgListColumnsAdded;
extern const std::string& msgListLogged;
extern const std::string& msgListNewlyLogged;
extern const std::string& msgListStaleTriggers;
extern const std::string& msgListPartlyLogged;
extern const std::string& msgListNotLogged;
extern const std::string& msgListTriggersDropped;
extern const std::string& msgListDroppedData;
extern const std::string& msgListDropped;
// The objects in the lists: %1 the name.
extern const std::string& msgObjectTable;
extern const std::string& msgObjectGenerator;
extern const std::string& msgObjectFunction;
extern const std::string& msgObjectProcedure;
extern const std::string& msgObjectIndex;
// The window's Change log menu: the question before installing, the
// database's name on a line of its own after it.
extern const std::string& msgLogInstallQuestion;
extern const std::string& msgLogInstallNote;

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
