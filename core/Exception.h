#pragma once
#include <stdexcept>
#include <string>

// The general error of the system: one message text, 8-bit Windows-1251.
// The database manager's errors, date conversion and file errors derive from
// it; the engine's own errors derive from the standard classes instead.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message)
        : std::runtime_error(message), Message(message) {}
    std::string Message;
};

// A wait that ran past the time it was given (norvane-cli's --timeout); the
// text says what was waited for.
class TimeoutError : public Exception {
public:
    using Exception::Exception;
};
