#include "cli/Terminal.h"

#include "core/Charset.h"
#include "locale/Messages.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

// "windows-1251" and "CP1251", "utf8" and "UTF-8": one encoding each.
std::string Canonical(const std::string& encoding)
{
    std::string name;
    for (const unsigned char c : encoding)
        if (std::isalnum(c))
            name += static_cast<char>(std::toupper(c));
    if (name.rfind("WINDOWS", 0) == 0)
        name = "CP" + name.substr(7);
    return name;
}

}  // namespace

std::string TerminalCodeset()
{
    const std::string codeset = nl_langinfo(CODESET);
    return codeset == "ANSI_X3.4-1968" ? std::string() : codeset;
}

std::string ForTerminal(const std::string& text, const std::string& encoding)
{
    const std::string codeset = TerminalCodeset();
    if (codeset.empty() || Canonical(codeset) == Canonical(encoding))
        return text;
    return Transliterated(text, encoding, codeset);
}

void TProgressLine::operator()(long long total, long long done)
{
    if (!enabled || total < smallest || total <= 0)
        return;
    const long long percent = 100 * done / total;
    if (percent == shown)
        return;
    shown = percent;
    const std::string line =
        ForTerminal(FormatMessage(message, {std::to_string(done), std::to_string(total), std::to_string(percent)}));
    std::fputs(("\r" + line).c_str(), stderr);
    std::fflush(stderr);
}

void TProgressLine::Finish()
{
    if (shown >= 0) {
        std::fputc('\n', stderr);
        shown = -1;
    }
}
