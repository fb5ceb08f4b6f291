#pragma once
#include <string>

// The program's own messages: texts read directly by their users, in
// the system 8-bit code page. They start as the built-in English texts and
// are replaced from the Messages section of a language file.
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

// Replaces each text from section Messages of the language file at path; a
// key the file lacks keeps its current text. A missing file changes nothing.
void LoadMessages(const std::string& path);
// Writes the current texts into section Messages of English.ini beside the
// executable, keeping the file's other content.
void ExportMessages();
// Same, into the language file at path.
void ExportMessages(const std::string& path);
// Back to the built-in texts.
void ResetMessages();
