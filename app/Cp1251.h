#pragma once
#include <QString>

#include <string>

// The window's boundary between Qt's Unicode texts and the 8-bit Windows-1251
// texts of the core (messages, scripts, settings, language files).
QString FromCp1251(const std::string& text);
// Characters that Windows-1251 cannot hold become '?'.
std::string ToCp1251(const QString& text);
