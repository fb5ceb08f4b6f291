#include "engine/Crecordstore.h"

#include <algorithm>
#include <cstring>

namespace NorvaneImpl {

namespace {

// A packed record: the operation letter, the table, user and date-time
// texts, then the key and field values, each a type code, a subtype, a
// name, a mark of presence, nulls and OCTETS, and the new and old texts
// that are there.
// Sizes are written seven bits a byte, low bits first.
enum : unsigned char { kHasNew = 1, kNewNull = 2, kHasOld = 4, kOldNull = 8, kOctets = 16 };

class TUnpacker {
public:
    explicit TUnpacker(const char* aAt) : at(aAt) {}

    std::size_t Size()
    {
        std::size_t size = 0;
        for (int shift = 0;; shift += 7) {
            const unsigned char byte = static_cast<unsigned char>(*at++);
            size |= static_cast<std::size_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return size;
        }
    }
    std::string Text()
    {
        const std::size_t size = Size();
        std::string text(at, size);
        at += size;
        return text;
    }
    unsigned char Byte() { return static_cast<unsigned char>(*at++); }

    TFieldList Values(bool quoteNames)
    {
        TFieldList values(Size());
        for (auto& value : values) {
            const int type = static_cast<std::int8_t>(Byte());
            const std::size_t zigzag = Size();
            const int subType = static_cast<int>(zigzag >> 1) ^ -static_cast<int>(zigzag & 1);
            std::string name = Text();
            const unsigned char marks = Byte();
            std::unique_ptr<CFieldCast> newValue, oldValue;
            if (marks & kHasNew)
                newValue = std::make_unique<CFieldCast>((marks & kNewNull) != 0, Text());
            if (marks & kHasOld)
                oldValue = std::make_unique<CFieldCast>((marks & kOldNull) != 0, Text());
            value = std::make_unique<CFieldValue>(type, std::move(newValue), std::move(oldValue), std::move(name),
                                                  subType, quoteNames, (marks & kOctets) != 0);
        }
        return values;
    }

private:
    const char* at;
};

}  // namespace

void TRecordStore::Start(bool comments, bool quote)
{
    clear();
    includeComments = comments;
    quoteNames = quote;
}

void TRecordStore::clear()
{
    blocks.clear();
    blocks.shrink_to_fit();
    offsets.clear();
    offsets.shrink_to_fit();
    blockUsed = blockSize = 0;
    packing.clear();
    packing.shrink_to_fit();
    for (TMade& one : made)
        one = TMade();
}

void TRecordStore::PutSize(std::size_t size)
{
    do {
        packing += static_cast<char>((size & 0x7F) | (size > 0x7F ? 0x80 : 0));
        size >>= 7;
    } while (size);
}

void TRecordStore::PutText(const std::string& text)
{
    PutSize(text.size());
    packing += text;
}

void TRecordStore::PutValue(const CFieldValue& value)
{
    packing += static_cast<char>(value.GetType());
    // A subtype is a small signed number: kept as zigzag (0, -1, 1, -2 ...
    // become 0, 1, 2, 3 ...), so that it takes one byte.
    const std::int64_t subType = value.GetSubType();
    PutSize(static_cast<std::size_t>((subType << 1) ^ (subType >> 63)));
    PutText(value.GetName());
    const CFieldCast* newValue = value.GetNewValue();
    const CFieldCast* oldValue = value.GetOldValue();
    packing += static_cast<char>((newValue ? kHasNew : 0) | (newValue && newValue->isNull ? kNewNull : 0) |
                                 (oldValue ? kHasOld : 0) | (oldValue && oldValue->isNull ? kOldNull : 0) |
                                 (value.IsOctets() ? kOctets : 0));
    if (newValue)
        PutText(newValue->value);
    if (oldValue)
        PutText(oldValue->value);
}

void TRecordStore::push_back(const CLogRecord& record)
{
    packing.clear();
    packing += record.GetAction();
    PutText(record.GetTableName());
    PutText(record.GetUserName());
    PutText(record.GetDateTime());
    PutSize(record.GetKeys().size());
    for (const auto& key : record.GetKeys())
        PutValue(*key);
    PutSize(record.GetFields().size());
    for (const auto& field : record.GetFields())
        PutValue(*field);
    // The note of a referential action's effect: the source's distance (0:
    // none), then its columns and whether the source's undo reverses them.
    const TCascade& cascade = record.GetCascade();
    PutSize(cascade.sourceDistance);
    if (cascade.sourceDistance) {
        PutSize(cascade.columns.size());
        for (const std::string& column : cascade.columns)
            PutText(column);
        packing += static_cast<char>(cascade.undoneBySource);
    }

    if (blocks.empty() || blockUsed + packing.size() > blockSize) {
        blockSize = std::max(kBlock, packing.size());
        blocks.push_back(std::make_unique<char[]>(blockSize));
        blockUsed = 0;
    }
    std::memcpy(blocks.back().get() + blockUsed, packing.data(), packing.size());
    offsets.push_back(static_cast<std::uint64_t>(blocks.size() - 1) << 40 | blockUsed);
    blockUsed += packing.size();
}

std::unique_ptr<CLogRecord> TRecordStore::Make(std::size_t index) const
{
    const std::uint64_t offset = offsets[index];
    TUnpacker in(blocks[offset >> 40].get() + (offset & ((std::uint64_t(1) << 40) - 1)));
    const char action = static_cast<char>(in.Byte());
    std::string table = in.Text();
    std::string user = in.Text();
    std::string dateTime = in.Text();
    TFieldList keys = in.Values(quoteNames);
    TFieldList fields = in.Values(quoteNames);
    auto record = std::make_unique<CLogRecord>(action, includeComments, std::move(table), std::move(user),
                                               std::move(dateTime), std::move(keys), std::move(fields), quoteNames);
    TCascade cascade;
    cascade.sourceDistance = in.Size();
    if (cascade.sourceDistance) {
        cascade.columns.resize(in.Size());
        for (std::string& column : cascade.columns)
            column = in.Text();
        cascade.undoneBySource = in.Byte() != 0;
        record->SetCascade(std::move(cascade));
    }
    return record;
}

TRecordStore::Reference TRecordStore::operator[](std::size_t index) const
{
    TMade& slot = made[index % made.size()];
    if (slot.index != index || !slot.record) {
        slot.record = Make(index);
        slot.index = index;
    }
    return slot.record;
}

}  // namespace NorvaneImpl
