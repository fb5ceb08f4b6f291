#pragma once
// What norvane-cli writes for a reader, in the terminal's character set.
#include <string>

// The text (bytes of the encoding, for iconv) in the character set of the
// C library's locale: the program's messages are Windows-1251, the log
// commands' reports UTF-8, and the errors that name a log's tables and
// values come in the run's character set. Under the C locale, or when the
// encodings are one, the bytes are left as they are.
std::string ForTerminal(const std::string& text, const std::string& encoding = "CP1251");
