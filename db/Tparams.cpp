#include "db/Tparams.h"

#include <algorithm>

// Names of parameters and columns compare without regard to case (ASCII).
bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
               return upper(x) == upper(y);
           });
}

// ---------------------------------------------------------------- TParam

void TParam::SetAsInteger(long long value)
{
    DataType = ftInteger;
    integer = value;
    null = false;
}

void TParam::SetAsDateTime(TDateTime value)
{
    DataType = ftDateTime;
    dateTime = value;
    null = false;
}

long long TParam::AsInteger() const
{
    if (null)
        return 0;
    return DataType == ftDateTime ? static_cast<long long>(dateTime) : integer;
}

TDateTime TParam::AsDateTime() const
{
    if (null)
        return 0;
    return DataType == ftDateTime ? dateTime : static_cast<TDateTime>(integer);
}

std::string TParam::AsString() const
{
    if (null)
        return {};
    return DataType == ftDateTime ? DateTimeToStr(dateTime) : std::to_string(integer);
}

void TParam::Clear()
{
    null = true;
    integer = 0;
    dateTime = 0;
}

void TParam::Assign(const TParam& source)
{
    DataType = source.DataType;
    null = source.null;
    integer = source.integer;
    dateTime = source.dateTime;
}

// ---------------------------------------------------------------- TParams

TParam& TParams::CreateParam(TFieldType type, const std::string& name) { return items.emplace_back(type, name); }

TParam* TParams::FindParam(const std::string& name)
{
    for (TParam& param : items)
        if (SameText(param.Name, name))
            return &param;
    return nullptr;
}

const TParam* TParams::FindParam(const std::string& name) const
{
    return const_cast<TParams*>(this)->FindParam(name);
}
