#include "locale/Messages.h"

#include "app/core/IniFile.h"
#include "app/core/ProgramPath.h"

#include <array>

namespace {

struct Entry {
    const char* key;
    const char* builtIn;
};

// Catalogue order: the order of reading and of writing a language file.
constexpr std::array<Entry, 9> kEntries = {{
    {"msgNoConnect", "Can't connect to the specified database file."},
    {"msgNoLog", "Extracting log data error. Make shure Your database has IB Expert Log structures."},
    {"msgUnforeseen", "Unforeseen exception"},
    {"msgNoMatchedRecords", "/* Log has no matched records for specified period */"},
    {"msgWelcome", "Welcome to Norvane!!! Here comes resulting script"},
    {"msgUnknownOperation", "Unknown operation symbol"},
    {"msgUser", "Login"},
    // A date the user typed that is no date; an example date follows.
    {"msgBadBeginDate", "The start of the period is not a valid date. Type it as in this example:"},
    {"msgBadEndDate", "The end of the period is not a valid date. Type it as in this example:"},
}};

std::array<std::string, 9> texts = {
    kEntries[0].builtIn, kEntries[1].builtIn, kEntries[2].builtIn, kEntries[3].builtIn, kEntries[4].builtIn,
    kEntries[5].builtIn, kEntries[6].builtIn, kEntries[7].builtIn, kEntries[8].builtIn,
};

const char kSection[] = "Messages";

}  // namespace

const std::string& msgNoConnect = texts[0];
const std::string& msgNoLog = texts[1];
const std::string& msgUnforeseen = texts[2];
const std::string& msgNoMatchedRecords = texts[3];
const std::string& msgWelcome = texts[4];
const std::string& msgUnknownOperation = texts[5];
const std::string& msgUser = texts[6];
const std::string& msgBadBeginDate = texts[7];
const std::string& msgBadEndDate = texts[8];

void LoadMessages(const std::string& path)
{
    TIniFile ini(path);
    for (size_t i = 0; i < kEntries.size(); ++i)
        texts[i] = ini.ReadString(kSection, kEntries[i].key, texts[i]);
}

void ExportMessages(const std::string& path)
{
    TIniFile ini(path);
    for (size_t i = 0; i < kEntries.size(); ++i)
        ini.WriteString(kSection, kEntries[i].key, texts[i]);
}

void ExportMessages()
{
    ExportMessages(ExecutableDir() + "English.ini");
}

void ResetMessages()
{
    for (size_t i = 0; i < kEntries.size(); ++i)
        texts[i] = kEntries[i].builtIn;
}
