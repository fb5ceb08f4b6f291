#pragma once
// Short ways to write field values and records in tests:
//   List(Key("ID", 8, V("7")), Field("NAME", 37, V("new"), Null()))
#include "engine/Clogrecord.h"

#include <memory>
#include <string>

namespace RecordBuilders {

inline std::unique_ptr<NorvaneImpl::CFieldCast> V(const std::string& text)
{
    return std::make_unique<NorvaneImpl::CFieldCast>(false, text);
}

inline std::unique_ptr<NorvaneImpl::CFieldCast> Null()
{
    return std::make_unique<NorvaneImpl::CFieldCast>(true, "");
}

inline std::unique_ptr<const NorvaneImpl::CFieldValue> Key(const std::string& name, int type,
                                                           std::unique_ptr<NorvaneImpl::CFieldCast> value)
{
    return std::make_unique<NorvaneImpl::CFieldValue>(type, std::move(value), nullptr, name);
}

inline std::unique_ptr<const NorvaneImpl::CFieldValue> Field(const std::string& name, int type,
                                                             std::unique_ptr<NorvaneImpl::CFieldCast> newValue,
                                                             std::unique_ptr<NorvaneImpl::CFieldCast> oldValue)
{
    return std::make_unique<NorvaneImpl::CFieldValue>(type, std::move(newValue), std::move(oldValue), name);
}

template <class... T>
NorvaneImpl::TFieldList List(T... items)
{
    NorvaneImpl::TFieldList list;
    (list.push_back(std::move(items)), ...);
    return list;
}

}  // namespace RecordBuilders
