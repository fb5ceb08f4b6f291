// The texts built into the program: exact query and template bytes, the
// language files read through the ini layer, and the lookup's rules.
#include "core/IniFile.h"
#include "core/Resfuncs.h"
#include "locale/Messages.h"
#include "res/BuiltinTexts.h"

#include "FbTestUtil.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>

namespace {


// A built-in text written to a file of its own, removed at the end.
class TextFile {
public:
    TextFile(const std::string& text)
    {
        char name[] = "/tmp/norvane-res-XXXXXX";
        int fd = mkstemp(name);
        path = name;
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
    }
    ~TextFile() { std::remove(path.c_str()); }
    std::string path;
};

}  // namespace

TEST(Resources, LogQueriesAsSentToTheDatabase)
{
    EXPECT_EQ(LoadResourceText(10100, "LOG"),
              "select\r\n"
              "    lt.id, lt.operation, lt.table_name, lt.date_time, lt.user_name\r\n"
              "from\r\n"
              "    ibe$log_tables lt\r\n"
              "where\r\n"
              "    lt.date_time >= :BEGD and lt.date_time < :ENDD\r\n"
              "order by\r\n"
              "    lt.id");
    EXPECT_EQ(LoadResourceText(10101, "LOG"),
              "select\r\n"
              "    rf.rdb$field_source, f.rdb$field_type,\r\n"
              "    lf.field_name, lf.new_value, lf.old_value\r\n"
              "from\r\n"
              "    ibe$log_fields lf\r\n"
              "inner join ibe$log_tables lt on\r\n"
              "    lt.id = lf.log_tables_id\r\n"
              "inner join rdb$relation_fields rf on\r\n"
              "    rf.rdb$field_name = lf.field_name and\r\n"
              "    rf.rdb$relation_name = lt.table_name\r\n"
              "inner join rdb$fields f on\r\n"
              "    f.rdb$field_name = rf.rdb$field_source\r\n"
              "where\r\n"
              "    lf.log_tables_id = :ID\r\n");
    EXPECT_EQ(LoadResourceText(10102, "LOG"),
              "select\r\n"
              "    rf.rdb$field_source, f.rdb$field_type,\r\n"
              "    lk.key_field, lk.key_value\r\n"
              "from\r\n"
              "    ibe$log_keys lk\r\n"
              "inner join ibe$log_tables lt on\r\n"
              "    lt.id = lk.log_tables_id\r\n"
              "inner join rdb$relation_fields rf on\r\n"
              "    rf.rdb$field_name = lk.key_field and\r\n"
              "    rf.rdb$relation_name = lt.table_name\r\n"
              "inner join rdb$fields f on\r\n"
              "    f.rdb$field_name = rf.rdb$field_source\r\n"
              "where\r\n"
              "    lk.log_tables_id = :ID\r\n");
}

TEST(Resources, XmlTemplate)
{
    EXPECT_EQ(LoadResourceText(10130, "XML"),
              "<?xml version=\"1.0\" encoding=\"Windows-1251\" ?>\r\n"
              "<Log xmlns:NV=\"https://www.norvane.org/\" />\r\n");
}

TEST(Resources, EveryTextIsThereWithCrLfLinesOnly)
{
    const std::pair<int, const char*> all[] = {
        {10100, "LOG"},    {10101, "LOG"},    {10102, "LOG"},  {10103, "LOG"},  {10104, "LOG"}, {10105, "LOG"}, {10106, "LOG"},
        {10107, "LOG"},    {10108, "LOG"},    {10109, "LOG"},
        {10130, "XML"},    {10120, "LOCALE"}, {10121, "LOCALE"}, {10110, "HELP"}, {10111, "HELP"}};
    for (const auto& [number, type] : all) {
        std::string text = LoadResourceText(number, type);
        EXPECT_GT(text.size(), 50u) << type << " " << number;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << type << " " << number << " at " << i;
            }
            if (text[i] == '\r') {
                ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << type << " " << number << " at " << i;
            }
        }
        EXPECT_EQ(text, LoadResourceText(number, type)) << "read-only: the same text every time";
    }
}

TEST(Resources, MissingTextGivesZeroCharacter)
{
    EXPECT_EQ(LoadResourceText(10119, "LOG"), "0");
    EXPECT_EQ(LoadResourceText(10130, "LOG"), "0") << "number of another type";
    EXPECT_EQ(LoadResourceText(10100, "SQL"), "0");
    EXPECT_EQ(LoadResourceText(10100, ""), "0");
    EXPECT_EQ(LoadResourceText(10100, "log"), LoadResourceText(10100, "LOG"))
        << "type names match without regard to case";
}

TEST(Resources, TextEndsAtItsFirstZeroByte)
{
    const unsigned char withZero[] = {'a', 'b', 0, 'c', 'd'};
    const unsigned char plain[] = {'x', 'y', 'z'};
    const unsigned char leadingZero[] = {0, 'q'};
    const BuiltinTexts::TText table[] = {
        {"TEST", 1, withZero, sizeof(withZero)},
        {"TEST", 2, plain, sizeof(plain)},
        {"TEST", 3, leadingZero, sizeof(leadingZero)},
        {"TEST", 4, plain, 0},
    };
    auto load = [&](int number) { return BuiltinTexts::Load(std::begin(table), std::end(table), number, "TEST"); };
    EXPECT_EQ(load(1), "ab");
    EXPECT_EQ(load(2), "xyz") << "no terminator stored, none read past the end";
    EXPECT_EQ(load(3), "");
    EXPECT_EQ(load(4), "");
    EXPECT_EQ(load(5), "0");
}

namespace {

struct Entry {
    const char* section;
    const char* key;
    const char* english;  // nullptr: no key in the English file
    const char* russian;  // nullptr: no key in the Russian file (UTF-8 here)
};

const Entry kFormTexts[] = {
    {"Forms", "frmGUI", "Norvane (Scripting tool for IBExpert Log)",
     "Norvane (инструмент создания скриптов на основе журнала IBExpert)"},
    {"Forms", "frmAbout", "About", "О программе"},
    {"Labels", "lblDatabaseFile", "Database file:", "Файл базы данных:"},
    {"Labels", "lblUserName", "User name:", "Пользователь:"},
    {"Labels", "lblPassword", "Password:", "Пароль:"},
    {"Labels", "lblPeriodSince", "Data changes period: since", "Период изменений данных: с"},
    {"Labels", "lblPeriodTo", "to", "по"},
    {"Labels", "lblAboutTitle", "Norvane", nullptr},
    {"Labels", "lblAboutDescription", "Makes SQL scripts on IBExpert log", "SQL скрипты по журналу IBExpert"},
    {"Labels", "lblAboutVersion", "Version", "Версия"},
    {"SpeedButtons", "SpeedButton1.Caption", "", nullptr},
    {"SpeedButtons", "SpeedButton1.Hint", "Select Database file for creating log script",
     "Выбрать файл базы данных для создания скрипта по ее журналу"},
    {"CheckBoxes", "chbRememberPassword", "Remember password", "Запомнить пароль"},
    {"CheckBoxes", "chbIncludeComments", "Include date and user comments", "Включить в скрипт комментарии"},
    {"RadioButtons", "rdbReproducingScript", "Reproducing script", "Воспроизводящий скрипт"},
    {"RadioButtons", "rdbUndoScript", "Undo script", "Отменяющий скрипт"},
    {"MenuItems", "miFile", "&File", "&Файл"},
    {"MenuItems", "miLanguage", "&Language", "&Язык"},
    {"MenuItems", "miHelp", nullptr, "&?"},
    {"MenuItems", "miChangeLog", "Change &log", "Журнал &изменений"},
    {"Actions", "actSave.Hint", "Save the editor contents to file", "Сохранить содержимое окна редактирования в файле"},
    {"Actions", "actSave.Caption", "&Save as", "&Сохранить как"},
    {"Actions", "actExecute.Hint", "Build script whith IB Expert log of the specified DB file",
     "Создать скрипт на основе журнала IBExpert указанного файла базы данных"},
    {"Actions", "actExecute.Caption", "&Create script", "С&оздать скрипт"},
    {"Actions", "actClose.Caption", "E&xit", "В&ыход"},
    {"Actions", "actSelectDatabase.Hint", "Select Database file for creating log script",
     "Выбрать файл базы данных для создания скрипта"},
    {"Actions", "actSelectDatabase.Caption", "Select &database file", "&Выбрать файл базы данных"},
    {"Actions", "actAbout.Caption", "&About", "&О программе"},
    {"Actions", "actShowReadme.Caption", "R&eadme", "&ReadMe.txt"},
    {"Actions", "actLogInstall.Caption", "&Install or update...", "&Установить или обновить..."},
    {"Actions", "actLogStatus.Caption", "&Status", "&Состояние"},
};

void CheckFormTexts(const std::string& path, bool russian)
{
    TIniFile ini(path);
    for (const Entry& e : kFormTexts) {
        const char* expected = russian ? e.russian : e.english;
        SCOPED_TRACE(std::string(e.section) + "/" + e.key);
        EXPECT_EQ(ini.ValueExists(e.section, e.key), expected != nullptr);
        if (expected) {
            EXPECT_EQ(ini.ReadString(e.section, e.key, "<missing>"), Cp1251(expected));
        }
    }
}

class LanguageFiles : public ::testing::Test {
protected:
    void SetUp() override { ResetMessages(); }
    void TearDown() override { ResetMessages(); }
};

}  // namespace

TEST_F(LanguageFiles, EnglishFormTextsAndMessages)
{
    TextFile file(LoadResourceText(10120, "LOCALE"));
    CheckFormTexts(file.path, false);
    LoadMessages(file.path);
    EXPECT_EQ(msgNoConnect, "Can't connect to the specified database file.");
    EXPECT_EQ(msgNoLog, "Extracting log data error. Make shure Your database has IB Expert Log structures.");
    EXPECT_EQ(msgUnforeseen, "Unforeseen exception");
    EXPECT_EQ(msgNoMatchedRecords, "Log has no matched records");
    EXPECT_EQ(msgWelcome, "Welcome to Norvane!!! Here comes resulting script");
    EXPECT_EQ(msgUnknownOperation, "Unknown operation symbol");
    EXPECT_EQ(msgUser, "Login");
}

TEST_F(LanguageFiles, RussianFormTextsAndMessagesInWindows1251)
{
    TextFile file(LoadResourceText(10121, "LOCALE"));
    CheckFormTexts(file.path, true);
    LoadMessages(file.path);
    EXPECT_EQ(msgNoConnect, Cp1251("Ошибка при подключении к указанному файлу базы данных"));
    EXPECT_EQ(msgNoLog, Cp1251("Ошибка при извлечении данных журнала. Возможно, выбранный файл базы данных "
                                "не содержит журнала IBExpert"));
    EXPECT_EQ(msgUnforeseen, Cp1251("Непредусмотренное исключение. Сообщите, пожалуйста, разработчику"));
    EXPECT_EQ(msgNoMatchedRecords,
              Cp1251("/* Журнал не содержит записей, удовлетворяющих наложенным условиям */"));
    EXPECT_EQ(msgWelcome, Cp1251("Вас приветствует Norvane!!! Это окно для скрипта"));
    EXPECT_EQ(msgUnknownOperation, Cp1251("Непредусмотренный символ операции"));
    EXPECT_EQ(msgUser, Cp1251("Пользователь"));
}

// Every message of the catalogue is in both built-in languages, so that no
// text of the other language is left over when one is chosen: the English
// file holds the built-in text, the Russian one a translation, and both fill
// in the same parts.
TEST_F(LanguageFiles, EveryMessageInBothLanguages)
{
    TextFile exported("");
    ExportMessages(exported.path);
    const std::string keys = NorvaneTest::ReadFile(exported.path);
    TextFile english(LoadResourceText(10120, "LOCALE"));
    TextFile russian(LoadResourceText(10121, "LOCALE"));
    const auto parts = [](const std::string& text) {
        std::set<std::string> found;
        for (size_t at = text.find('%'); at != std::string::npos && at + 1 < text.size(); at = text.find('%', at + 1))
            if (text[at + 1] >= '1' && text[at + 1] <= '9')
                found.insert(text.substr(at, 2));
        return found;
    };
    int count = 0;
    for (size_t line = keys.find("\nmsg"); line != std::string::npos; line = keys.find("\nmsg", line + 1), ++count) {
        const std::string key = keys.substr(line + 1, keys.find('=', line) - line - 1);
        EXPECT_TRUE(TIniFile(english.path).ValueExists("Messages", key)) << key;
        EXPECT_TRUE(TIniFile(russian.path).ValueExists("Messages", key)) << key;
        const std::string builtIn = TIniFile(exported.path).ReadString("Messages", key, "");
        const std::string inEnglish = TIniFile(english.path).ReadString("Messages", key, "");
        const std::string inRussian = TIniFile(russian.path).ReadString("Messages", key, "");
        // The script's no-records comment reads as a plain text in the English file.
        if (key != "msgNoMatchedRecords") {
            EXPECT_EQ(inEnglish, builtIn) << key;
        }
        EXPECT_TRUE(std::any_of(inRussian.begin(), inRussian.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0xC0;  // a Cyrillic letter in Windows-1251
        })) << key;
        EXPECT_EQ(parts(inRussian), parts(builtIn)) << key;
    }
    EXPECT_GT(count, 50);
    // "%1", "%2", ... are filled in order; any other "%" stays.
    EXPECT_EQ(FormatMessage("%2 of %1 (100%), %3", {"a", "b%1"}), "b%1 of a (100%), %3");
}

TEST_F(LanguageFiles, SectionsInReadingOrderWithoutStatusBar)
{
    for (int number : {10120, 10121}) {
        std::string text = LoadResourceText(number, "LOCALE");
        size_t last = 0;
        for (const char* section : {"[Forms]", "[Labels]", "[SpeedButtons]", "[CheckBoxes]", "[RadioButtons]",
                                    "[MenuItems]", "[Actions]", "[Messages]"}) {
            size_t at = text.find(std::string(section) + "\r\n");
            ASSERT_NE(at, std::string::npos) << number << " " << section;
            EXPECT_GE(at, last) << number << " " << section;
            last = at;
        }
        EXPECT_EQ(text.find("[StatusBar]"), std::string::npos);
    }
}

TEST(Resources, ReadmeTexts)
{
    std::string english = LoadResourceText(10110, "HELP");
    std::string russian = LoadResourceText(10111, "HELP");
    for (const char* word : {"F9", "BLOB", "Include date and user comments", "Reproducing script", "Undo script"})
        EXPECT_NE(english.find(word), std::string::npos) << word;
    EXPECT_NE(english.find("IBExpert\xAE"), std::string::npos) << "the registered sign in Windows-1251";
    for (const char* word : {"F9", "BLOB", "Воспроизводящий скрипт", "Отменяющий скрипт", "Запомнить пароль",
                             "Включить в скрипт комментарии"})
        EXPECT_NE(russian.find(Cp1251(word)), std::string::npos) << word;
}
