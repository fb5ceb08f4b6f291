#include "app/Createexcfile.h"

#include "core/Textfile.h"
#include "locale/Regional.h"

const char kSupportMail[] = "support@norvane.org";

std::string WriteExceptionFile(const std::string& Text, const std::string& folder)
{
    std::vector<std::string> lines = SplitLines(Text);
    lines.push_back(DateTimeToStr(Now()) + "\n");
    std::string path = folder + "Exception.txt";
    SaveLinesToFile(lines, path);
    return path;
}

std::string ExceptionNotice(const std::string& path, bool English)
{
    if (English)
        return "Sorry, unforeseen exception has occured.\nIts text saved to " + path +
               ".\nPlease send this file to product developer by e-mail: " + kSupportMail + "\nThank You";
    // "Izvinite, polucheno nepredusmotrennoe isklyuchenie..." in Windows-1251.
    return "\xC8\xE7\xE2\xE8\xED\xE8\xF2\xE5, \xEF\xEE\xEB\xF3\xF7\xE5\xED\xEE "
           "\xED\xE5\xEF\xF0\xE5\xE4\xF3\xF1\xEC\xEE\xF2\xF0\xE5\xED\xED\xEE\xE5 "
           "\xE8\xF1\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5.\n"
           "\xC5\xE3\xEE \xF2\xE5\xEA\xF1\xF2 \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED \xE2 " +
           path +
           ".\n\xCF\xEE\xE6\xE0\xEB\xF3\xE9\xF1\xF2\xE0, \xEE\xF2\xEF\xF0\xE0\xE2\xFC\xF2\xE5 "
           "\xFD\xF2\xEE\xF2 \xF4\xE0\xE9\xEB \xF0\xE0\xE7\xF0\xE0\xE1\xEE\xF2\xF7\xE8\xEA\xF3 "
           "\xEF\xEE \xE0\xE4\xF0\xE5\xF1\xF3: " +
           kSupportMail + "\n\xD1\xEF\xE0\xF1\xE8\xE1\xEE";
}
