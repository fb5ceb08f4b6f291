#include "db/Tsqlscript.h"

#include <cctype>

namespace {

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

// Where the comment or blank space at `at` ends; `at` itself when none is.
std::size_t SkipBlanks(const std::string& text, std::size_t at)
{
    while (at < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        } else if (text.compare(at, 2, "--") == 0) {
            const std::size_t end = text.find('\n', at);
            at = end == std::string::npos ? text.size() : end + 1;
        } else if (text.compare(at, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", at + 2);
            at = end == std::string::npos ? text.size() : end + 2;
        } else {
            break;
        }
    }
    return at;
}

std::string Trimmed(const std::string& text)
{
    std::size_t first = SkipBlanks(text, 0);
    std::size_t last = text.size();
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    return text.substr(first, last - first);
}

}  // namespace

std::vector<std::string> LeadingWords(const std::string& statement, std::size_t count)
{
    std::vector<std::string> words;
    std::size_t at = SkipBlanks(statement, 0);
    while (words.size() < count && at < statement.size()) {
        std::string word;
        if (statement[at] == '"') {
            // A doubled quote stands for one.
            for (++at; at < statement.size(); ++at) {
                if (statement[at] == '"') {
                    if (at + 1 < statement.size() && statement[at + 1] == '"') {
                        word += '"';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                word += statement[at];
            }
        } else if (IsWordChar(static_cast<unsigned char>(statement[at]))) {
            for (; at < statement.size() && IsWordChar(static_cast<unsigned char>(statement[at])); ++at)
                word += static_cast<char>(std::toupper(static_cast<unsigned char>(statement[at])));
        } else {
            break;
        }
        words.push_back(word);
        at = SkipBlanks(statement, at);
    }
    return words;
}

std::vector<std::string> SplitIsqlScript(const std::string& script)
{
    std::string text;
    text.reserve(script.size());
    for (std::size_t i = 0; i < script.size(); ++i)
        if (!(script[i] == '\r' && i + 1 < script.size() && script[i + 1] == '\n'))
            text += script[i];

    std::vector<std::string> statements;
    std::string terminator = ";";
    std::size_t begin = 0;
    std::size_t at = 0;
    auto finish = [&](std::size_t end) {
        const std::string statement = Trimmed(text.substr(begin, end - begin));
        const std::vector<std::string> words = LeadingWords(statement, 2);
        if (words.size() == 2 && words[0] == "SET" && (words[1] == "TERM" || words[1] == "TERMINATOR")) {
            // The new terminator: what follows the two words up to a blank,
            // whatever its characters.
            std::size_t from = 0;
            for (int word = 0; word < 2; ++word) {
                from = SkipBlanks(statement, from);
                while (from < statement.size() && IsWordChar(static_cast<unsigned char>(statement[from])))
                    ++from;
            }
            from = SkipBlanks(statement, from);
            std::size_t to = from;
            while (to < statement.size() && !std::isspace(static_cast<unsigned char>(statement[to])))
                ++to;
            if (to > from)
                terminator = statement.substr(from, to - from);
        } else if (!statement.empty()) {
            statements.push_back(statement);
        }
    };
    while (at < text.size()) {
        const char c = text[at];
        if (c == '\'' || c == '"') {
            // A doubled quote closes and opens again: the same skip works.
            const std::size_t close = text.find(c, at + 1);
            at = close == std::string::npos ? text.size() : close + 1;
        } else if (text.compare(at, 2, "--") == 0 || text.compare(at, 2, "/*") == 0) {
            at = SkipBlanks(text, at);
        } else if (text.compare(at, terminator.size(), terminator) == 0) {
            finish(at);
            at += terminator.size();
            begin = at;
        } else {
            ++at;
        }
    }
    finish(text.size());
    return statements;
}
