#pragma once
// What norvane-cli writes for a reader, in the terminal's character set.
#include <string>

// The text (bytes of the encoding, for iconv) in the character set of the
// C library's locale: the program's messages are Windows-1251, the log
// commands' reports UTF-8, and the errors that name a log's tables and
// values come in the run's character set. Under the C locale, or when the
// encodings are one, the bytes are left as they are.
std::string ForTerminal(const std::string& text, const std::string& encoding = "CP1251");

// The character set of the C library's locale; empty under the C locale,
// where texts are taken as the bytes they are.
std::string TerminalCodeset();

// How far a long job has come, as one line on standard error that each step
// rewrites: the message's %1 done, %2 total and %3 percent, when the job has
// at least `smallest` steps and standard error is a terminal. Ended by
// Finish or on leaving.
class TProgressLine {
public:
    TProgressLine(const std::string& aMessage, bool aEnabled, long long aSmallest = 500)
        : message(aMessage), enabled(aEnabled), smallest(aSmallest)
    {
    }
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;
    ~TProgressLine() { Finish(); }
    void operator()(long long total, long long done);
    void Finish();

private:
    const std::string& message;  // the catalogue's, so the language in use
    bool enabled;
    long long smallest;
    long long shown = -1;  // the percent on the line, -1 when there is none
};
