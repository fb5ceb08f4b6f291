// Dates as users type and read them, and files replaced whole.
#include "core/AtomicFile.h"
#include "core/Exception.h"
#include "locale/Regional.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class Formats : public ::testing::Test {
protected:
    void TearDown() override { SetFormatSettings(nullptr); }
    void Use(char a, char b, char c, char sep, bool twelve = false)
    {
        TFormatSettings fs;
        fs.order[0] = a;
        fs.order[1] = b;
        fs.order[2] = c;
        fs.DateSeparator = sep;
        fs.TwelveHour = twelve;
        SetFormatSettings(&fs);
    }
};

}  // namespace

TEST_F(Formats, DefaultShapeAndMidnight)
{
    TFormatSettings fixed;
    SetFormatSettings(&fixed);
    EXPECT_EQ(DateTimeToStr(EncodeDateTime(2003, 2, 1, 10, 15, 0)), "01.02.2003 10:15:00");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2003, 2, 1)), "01.02.2003");
    EXPECT_EQ(DateTimeToStr(EncodeDateTime(2003, 2, 1, 0, 0, 1)), "01.02.2003 00:00:01");
    EXPECT_EQ(DateTimeToStr(EncodeDateTime(1999, 12, 31, 23, 59, 59)), "31.12.1999 23:59:59");
    EXPECT_EQ(DateToStr(EncodeDate(1901, 1, 1), false), "01.01.01");
    // The next day at 00:00 is the date value plus one.
    EXPECT_EQ(DateToStr(EncodeDate(2024, 2, 28) + 1.0), "29.02.2024");
    EXPECT_EQ(DateToStr(EncodeDate(2023, 12, 31) + 1.0), "01.01.2024");
}

TEST_F(Formats, LocaleOrderSeparatorAndTwelveHourClock)
{
    Use('M', 'D', 'Y', '/', true);
    EXPECT_EQ(DateTimeToStr(EncodeDateTime(2003, 2, 1, 13, 5, 9)), "02/01/2003 1:05:09 PM");
    EXPECT_EQ(StrToDate("02/01/2003"), EncodeDate(2003, 2, 1));
    EXPECT_THROW(StrToDate("01.02.2003"), Exception);
    Use('Y', 'M', 'D', '-');
    EXPECT_EQ(DateToStr(EncodeDate(2003, 2, 1)), "2003-02-01");
    EXPECT_EQ(StrToDate("2003-02-01"), EncodeDate(2003, 2, 1));
}

TEST_F(Formats, TypedDatesAndTheFiftyYearWindow)
{
    TFormatSettings fixed;
    SetFormatSettings(&fixed);
    int year = 0, month = 0, day = 0;
    DecodeDate(Now(), year, month, day);
    auto yearOf = [](const std::string& text) {
        int y = 0, m = 0, d = 0;
        DecodeDate(StrToDate(text), y, m, d);
        return y;
    };
    int first = year - 50;
    auto two = [](int y) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02d", y % 100);
        return std::string(buf);
    };
    EXPECT_EQ(yearOf("01.01." + two(first)), first);
    EXPECT_EQ(yearOf("01.01." + two(first - 1)), first + 99);
    EXPECT_EQ(yearOf("15.06.1901"), 1901);
    EXPECT_EQ(StrToDate(" 29.02.2024 "), EncodeDate(2024, 2, 29));
    for (const char* bad : {"", "  .  .    ", "30.02.2023", "1.2", "01.13.2003", "aa.bb.cccc", "01.02.2003x"}) {
        try {
            StrToDate(bad);
            FAIL() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, std::string("'") + bad + "' is not a valid date");
        }
    }
}

TEST(AtomicFile, ReplacesOnlyOnCommit)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("norvane-atomic-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string target = (dir / "out.sql").string();
    std::ofstream(target) << "old";
    {
        TAtomicFile f(target);
        f.Write("new content");
        // Dropped without Commit: the old file stays and no temporary remains.
    }
    auto read = [&] {
        std::ifstream in(target);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    EXPECT_EQ(read(), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    WriteFileAtomically(target, "new");
    EXPECT_EQ(read(), "new");
    EXPECT_THROW(WriteFileAtomically((dir / "missing" / "x.sql").string(), "x"), Exception);
    fs::remove_all(dir);
}
