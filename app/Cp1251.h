#pragma once
#include <QString>

#include <string>

// The window's boundary between Qt's Unicode texts and the 8-bit Windows-1251
// texts of the core (messages, scripts, settings, language files).
QString FromCp1251(const std::string& text);
// Characters that Windows-1251 cannot hold become '?'.
std::string ToCp1251(const QString& text);

// The same boundary for the texts of a run in an encoding of its own (an
// iconv name, TCharset::encoding): the script and the XML log. Windows-1251
// takes the two functions above; a byte the encoding does not define shows
// as the character of its own number, and a character the encoding cannot
// hold is saved as '?'.
QString FromEncoding(const std::string& text, const std::string& encoding);
std::string ToEncoding(const QString& text, const std::string& encoding);
