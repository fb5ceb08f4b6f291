#pragma once
// Named query parameters: the values a query's :NAME markers receive.
#include "locale/Regional.h"

#include <cstddef>
#include <deque>
#include <string>

// The types a query parameter takes in this system.
enum TFieldType { ftUnknown, ftInteger, ftDateTime };

// A named query parameter: a type, a value and a null state. A new parameter
// is null until a value is set.
class TParam {
public:
    TParam() = default;
    TParam(TFieldType dataType, const std::string& name) : Name(name), DataType(dataType) {}

    std::string Name;
    TFieldType DataType = ftUnknown;

    bool IsNull() const { return null; }
    // Setting a value also sets the type.
    void SetAsInteger(long long value);
    void SetAsDateTime(TDateTime value);
    // 0 when null; a date-time gives its whole days.
    long long AsInteger() const;
    // 0 when null.
    TDateTime AsDateTime() const;
    // The value as text: an integer in decimal, a date-time as the user's
    // short date, a blank and the long time (no time at exactly midnight);
    // empty when null.
    std::string AsString() const;
    // Null again; name and type stay.
    void Clear();
    // Takes the type and value of another parameter, keeping the name.
    void Assign(const TParam& source);

private:
    bool null = true;
    long long integer = 0;
    TDateTime dateTime = 0;
};

// An ordered list of parameters. References to its parameters stay valid as
// more are created.
class TParams {
public:
    TParam& CreateParam(TFieldType type, const std::string& name);
    size_t Count() const { return items.size(); }
    TParam& operator[](size_t index) { return items[index]; }
    const TParam& operator[](size_t index) const { return items[index]; }
    // The first parameter of the name, compared without regard to case;
    // nullptr when there is none.
    TParam* FindParam(const std::string& name);
    const TParam* FindParam(const std::string& name) const;

private:
    std::deque<TParam> items;
};

// Names of parameters and columns compare without regard to case (ASCII).
bool SameText(const std::string& a, const std::string& b);
