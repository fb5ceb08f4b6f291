#pragma once
#include <QString>

#include <string>

// The window's boundary between Qt's Unicode texts and the 8-bit Windows-1251
// texts of the core (messages, scripts, settings, language files).
QString FromCp1251(const std::string& text);
// Characters that Windows-1251 cannot hold become '?'.
std::string ToCp1251(const QString& text);

// A file path as the settings file stores it. A path that Windows-1251 holds
// whole is stored as that text, as it always was, so older settings files
// read as before. Any other path is stored as its file-system bytes behind
// the UTF-8 byte order mark (EF BB BF, which no Windows-1251 path begins
// with: it would read "п»ї"), with '%', control characters and a blank at the
// end written as %XX, which the ini layer would otherwise split or trim.
std::string PathToSetting(const QString& path);
// A value that begins with the mark is read as above, any other value as
// Windows-1251 text.
QString PathFromSetting(const std::string& value);

// The same boundary for the texts of a run in an encoding of its own (an
// iconv name, TCharset::encoding): the script and the XML log. Windows-1251
// takes the two functions above; a byte the encoding does not define shows
// as the character of its own number, and a character the encoding cannot
// hold is saved as '?'.
QString FromEncoding(const std::string& text, const std::string& encoding);
std::string ToEncoding(const QString& text, const std::string& encoding);
