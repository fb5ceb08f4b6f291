#pragma once
#include <string>

// Dates and times as the program's users see them.
//
// TDateTime counts days since 30 December 1899, with the time of day as the
// fraction: the platform-independent form every layer passes around (a date
// field's value plus 1.0 is the next day at the same time).
using TDateTime = double;

// The user's regional formats, read once from the LC_TIME category of the
// environment. Where the locale gives nothing usable (C and POSIX among them)
// the date is day.month.year with a four-digit year and the time a 24-hour
// hour:minute:second.
struct TFormatSettings {
    char order[3] = {'D', 'M', 'Y'};  // the order of day, month and year
    char DateSeparator = '.';
    bool TwelveHour = false;           // long time with an AM/PM marker
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

const TFormatSettings& FormatSettings();
// Replaces the formats (tests pin them; nullptr reads the environment again).
void SetFormatSettings(const TFormatSettings* settings);

// Calendar arithmetic; EncodeDate throws Exception for an impossible date.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec);
void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);

TDateTime Now();   // local date and time
TDateTime Date();  // today at 00:00

// The short date: two-digit day and month and a four-digit year (two digits
// when fourDigitYear is false) in the locale's order and separator.
std::string DateToStr(TDateTime dt, bool fourDigitYear = true);
// The long time: hh:mm:ss (24-hour) or h:mm:ss AM (12-hour locales).
std::string TimeToStr(TDateTime dt);
// Short date, a blank and the long time; the time is left out at exactly midnight.
std::string DateTimeToStr(TDateTime dt);
// Whatever the locale: YYYY-MM-DD, and YYYY-MM-DD HH:MM:SS.
std::string IsoDate(TDateTime dt);
std::string IsoDateTime(TDateTime dt);

// Reads a date typed in the short date form: day, month and year in the
// locale's order, separated by the date separator. A year of one or two
// digits falls in the hundred years that begin 50 years before the current
// year. Throws Exception "'text' is not a valid date" otherwise.
TDateTime StrToDate(const std::string& text);
bool TryStrToDate(const std::string& text, TDateTime& result);
