#pragma once
#include <string>

// A text built into the program, found by type name ("LOG", "XML", "LOCALE",
// "HELP") and number: Windows-1251 bytes with CR LF line ends, up to the
// first zero byte. An unknown text gives "0".
std::string LoadResourceText(int Number, const std::string& TypeName);
