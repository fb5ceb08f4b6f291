#include "locale/Regional.h"

#include "core/Exception.h"

#include <langinfo.h>
#include <locale.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

// Days from 1899-12-30 to 1970-01-01.
constexpr long kUnixEpochDays = 25569;

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
long DaysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& year, int& month, int& day)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Splits a TDateTime into whole days and milliseconds of the day, rounding to
// the millisecond so that 10:15:00 never prints as 10:14:59.
void Split(TDateTime dt, long& days, long& msOfDay)
{
    double whole = std::floor(dt);
    long ms = std::lround((dt - whole) * 86400000.0);
    days = static_cast<long>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        ++days;
    }
    msOfDay = ms;
}

TFormatSettings ReadEnvironment()
{
    TFormatSettings fs;
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return fs;
    std::string dfmt = nl_langinfo_l(D_FMT, loc);
    std::string tfmt = nl_langinfo_l(T_FMT, loc);
    std::string am = nl_langinfo_l(AM_STR, loc);
    std::string pm = nl_langinfo_l(PM_STR, loc);
    // The C/POSIX locale says "%m/%d/%y"; that is no user's choice, so keep
    // the fixed defaults there.
    bool posix = false;
    {
        locale_t c = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
        if (c != static_cast<locale_t>(0)) {
            posix = dfmt == nl_langinfo_l(D_FMT, c) && tfmt == nl_langinfo_l(T_FMT, c);
            freelocale(c);
        }
    }
    freelocale(loc);
    if (posix)
        return fs;

    char order[3];
    int n = 0;
    char sep = 0;
    for (size_t i = 0; i + 1 < dfmt.size(); ++i) {
        if (dfmt[i] != '%')
            continue;
        char c = dfmt[i + 1];
        char what = c == 'd' || c == 'e' ? 'D' : c == 'm' ? 'M' : c == 'y' || c == 'Y' ? 'Y' : 0;
        if (what && n < 3) {
            order[n++] = what;
            if (n < 3 && i + 2 < dfmt.size() && dfmt[i + 2] != '%' && !sep)
                sep = dfmt[i + 2];
        }
        ++i;
    }
    if (n == 3 && sep && order[0] != order[1] && order[1] != order[2] && order[0] != order[2]) {
        fs.order[0] = order[0];
        fs.order[1] = order[1];
        fs.order[2] = order[2];
        fs.DateSeparator = sep;
    }
    if (tfmt.find("%r") != std::string::npos || tfmt.find("%I") != std::string::npos ||
        tfmt.find("%l") != std::string::npos) {
        if (!am.empty() && !pm.empty()) {
            fs.TwelveHour = true;
            fs.TimeAMString = am;
            fs.TimePMString = pm;
        }
    }
    return fs;
}

std::unique_ptr<TFormatSettings>& Current()
{
    static std::unique_ptr<TFormatSettings> current;
    return current;
}

std::string Two(int v)
{
    if (v >= 0 && v < 100)
        return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

const TFormatSettings& FormatSettings()
{
    auto& cur = Current();
    if (!cur)
        cur = std::make_unique<TFormatSettings>(ReadEnvironment());
    return *cur;
}

void SetFormatSettings(const TFormatSettings* settings)
{
    auto& cur = Current();
    if (settings)
        cur = std::make_unique<TFormatSettings>(*settings);
    else
        cur.reset();
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    result = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                               static_cast<unsigned>(day)) + kUnixEpochDays);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r = 0;
    if (!TryEncodeDate(year, month, day, r))
        throw Exception("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec)
{
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec)
{
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, msec);
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day)
{
    long days = 0, ms = 0;
    Split(dt, days, ms);
    CivilFromDays(days - kUnixEpochDays, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec)
{
    long days = 0, ms = 0;
    Split(dt, days, ms);
    msec = static_cast<int>(ms % 1000);
    long s = ms / 1000;
    second = static_cast<int>(s % 60);
    minute = static_cast<int>((s / 60) % 60);
    hour = static_cast<int>(s / 3600);
}

void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec)
{
    DecodeDate(dt, year, month, day);
    DecodeTime(dt, hour, minute, second, msec);
}

TDateTime Now()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    time_t t = ts.tv_sec;
    struct tm tm {};
    localtime_r(&t, &tm);
    return EncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                          tm.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

TDateTime Date()
{
    return std::floor(Now());
}

std::string DateToStr(TDateTime dt, bool fourDigitYear)
{
    const TFormatSettings& fs = FormatSettings();
    int y = 0, m = 0, d = 0;
    DecodeDate(dt, y, m, d);
    std::string out;
    for (int i = 0; i < 3; ++i) {
        if (i)
            out += fs.DateSeparator;
        switch (fs.order[i]) {
        case 'D': out += Two(d); break;
        case 'M': out += Two(m); break;
        default:
            // Years run from 1 to 9999.
            if (fourDigitYear)
                out += Two(y / 100 % 100);
            out += Two(y % 100);
        }
    }
    return out;
}

std::string TimeToStr(TDateTime dt)
{
    const TFormatSettings& fs = FormatSettings();
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(dt, h, n, s, ms);
    if (!fs.TwelveHour)
        return Two(h) + ":" + Two(n) + ":" + Two(s);
    int h12 = h % 12 == 0 ? 12 : h % 12;
    return std::to_string(h12) + ":" + Two(n) + ":" + Two(s) + " " +
           (h < 12 ? fs.TimeAMString : fs.TimePMString);
}

std::string IsoDate(TDateTime dt)
{
    return IsoDateTime(dt).substr(0, 10);
}

std::string IsoDateTime(TDateTime dt)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDateTime(dt, year, month, day, hour, minute, second, msec);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

std::string DateTimeToStr(TDateTime dt)
{
    long days = 0, ms = 0;
    Split(dt, days, ms);
    std::string text = DateToStr(dt);
    if (ms != 0)
        text += " " + TimeToStr(dt);
    return text;
}

bool TryStrToDate(const std::string& text, TDateTime& result)
{
    const TFormatSettings& fs = FormatSettings();
    int values[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != fs.DateSeparator)
                return false;
            ++i;
        }
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits[part] < 5) {
            values[part] = values[part] * 10 + (text[i] - '0');
            ++digits[part];
            ++i;
        }
        if (digits[part] == 0)
            return false;
    }
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i != text.size())
        return false;
    int y = 0, m = 0, d = 0, ydigits = 0;
    for (int k = 0; k < 3; ++k) {
        switch (fs.order[k]) {
        case 'D': d = values[k]; break;
        case 'M': m = values[k]; break;
        default: y = values[k]; ydigits = digits[k];
        }
    }
    if (ydigits <= 2) {
        int cy = 0, cm = 0, cd = 0;
        DecodeDate(Now(), cy, cm, cd);
        int first = cy - 50;  // the hundred years that begin 50 years ago
        int century = first - first % 100;
        y += century;
        if (y < first)
            y += 100;
    }
    return TryEncodeDate(y, m, d, result);
}

TDateTime StrToDate(const std::string& text)
{
    TDateTime r = 0;
    if (!TryStrToDate(text, r))
        throw Exception("'" + text + "' is not a valid date");
    return r;
}
