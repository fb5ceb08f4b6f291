#include "app/core/Textfile.h"

#include "db/Exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

}  // namespace

void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw Exception("Cannot create file \"" + path + "\". " + std::strerror(errno));
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
    ok = std::fclose(file.release()) == 0 && ok;
    if (!ok)
        throw Exception("Cannot write file \"" + path + "\". " + std::strerror(errno));
}

void SaveTextToFile(const std::string& text, const std::string& path)
{
    SaveLinesToFile(SplitLines(text), path);
}
