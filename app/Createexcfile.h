#pragma once
#include <string>

// The report of an unforeseen error: "Exception.txt" in the program's folder.

// The address the user is asked to send the report to.
extern const char kSupportMail[];

// Writes the lines of Text and then a line with the current local date and
// time (followed by an extra line feed) to folder + "Exception.txt", CR LF
// line ends, replacing an earlier report. folder ends with '/'. Returns the
// report's path. A file that cannot be written throws Exception.
std::string WriteExceptionFile(const std::string& Text, const std::string& folder);

// The message that tells the user where the report is, in English or in
// Russian (Windows-1251).
std::string ExceptionNotice(const std::string& path, bool English);
