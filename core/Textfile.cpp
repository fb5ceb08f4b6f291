#include "core/Textfile.h"

#include "core/AtomicFile.h"

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& path)
{
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    WriteFileAtomically(path, data);
}

void SaveTextToFile(const std::string& text, const std::string& path)
{
    SaveLinesToFile(SplitLines(text), path);
}
