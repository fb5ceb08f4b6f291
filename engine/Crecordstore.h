#pragma once
#include "engine/Clogrecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace NorvaneImpl {

// The records of a run, kept compactly: each record's texts and codes packed
// one after the other into large blocks of bytes (an arena per run), with
// one offset per record, instead of a heap block per text and per value.
// A record is made back into a CLogRecord when it is asked for; the last few
// asked for stay made, so that a reference to one stays good while a few
// others are asked for.
class TRecordStore {
public:
    using value_type = std::unique_ptr<CLogRecord>;
    using Reference = const value_type&;

    // Forward and backward over the records, each made when reached.
    class const_iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = TRecordStore::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = Reference;

        const_iterator() = default;
        const_iterator(const TRecordStore* aStore, std::size_t aIndex) : store(aStore), index(aIndex) {}
        reference operator*() const { return (*store)[index]; }
        pointer operator->() const { return &(*store)[index]; }
        const_iterator& operator++()
        {
            ++index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++index;
            return before;
        }
        const_iterator& operator--()
        {
            --index;
            return *this;
        }
        const_iterator operator--(int)
        {
            const_iterator before = *this;
            --index;
            return before;
        }
        bool operator==(const const_iterator& other) const { return index == other.index; }
        bool operator!=(const const_iterator& other) const { return index != other.index; }

    private:
        const TRecordStore* store = nullptr;
        std::size_t index = 0;
    };

    TRecordStore() = default;
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    // includeComments and quoteNames are the run's, the same for every record.
    void Start(bool includeComments, bool quoteNames);
    void push_back(const CLogRecord& record);
    void clear();

    std::size_t size() const { return offsets.size(); }
    bool empty() const { return offsets.empty(); }
    Reference operator[](std::size_t index) const;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
    std::reverse_iterator<const_iterator> rbegin() const { return std::reverse_iterator<const_iterator>(end()); }
    std::reverse_iterator<const_iterator> rend() const { return std::reverse_iterator<const_iterator>(begin()); }

private:
    // A record never spans two blocks; a record larger than a block gets a
    // block of its own size.
    static constexpr std::size_t kBlock = 1 << 20;

    std::unique_ptr<CLogRecord> Make(std::size_t index) const;
    void PutSize(std::size_t size);
    void PutText(const std::string& text);
    void PutValue(const CFieldValue& value);

    bool includeComments = false;
    bool quoteNames = false;
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t blockUsed = 0;
    std::size_t blockSize = 0;
    std::vector<std::uint64_t> offsets;  // block number above bit 40, place in the block below
    std::string packing;                 // the record being packed

    struct TMade {
        std::size_t index = SIZE_MAX;
        value_type record;
    };
    mutable std::array<TMade, 4> made;
};

}  // namespace NorvaneImpl
