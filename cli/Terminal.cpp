#include "cli/Terminal.h"

#include "core/Charset.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>

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

std::string ForTerminal(const std::string& text, const std::string& encoding)
{
    const std::string codeset = nl_langinfo(CODESET);
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || Canonical(codeset) == Canonical(encoding))
        return text;
    return Transliterated(text, encoding, codeset);
}
