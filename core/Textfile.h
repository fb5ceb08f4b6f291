#pragma once
#include <string>
#include <vector>

// Lines of a text broken at CR LF, CR or LF. A line break at the very end
// starts no further line, so "a\nb\n" and "a\nb" are both two lines, and the
// empty text has none.
std::vector<std::string> SplitLines(const std::string& text);

// Writes each line followed by CR LF, replacing the file whole (through a
// temporary file beside it). Throws Exception "Cannot create file ..." or
// "Cannot write file ..." with the system's reason.
void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& path);

// SaveLinesToFile(SplitLines(text), path).
void SaveTextToFile(const std::string& text, const std::string& path);
