#pragma once
#include <stdexcept>
#include <string>

namespace StringAccumulator {

// Thrown when there is nothing to accumulate; its text is empty.
class CEEmptyStrList : public std::range_error {
public:
    CEEmptyStrList() : std::range_error("") {}
};

// Appends one item's text and the separator to the output; an empty text
// appends nothing, not even the separator.
template <class T>
class CStringAccumulator {
public:
    using ItemOperation = std::string (T::*)() const;

    CStringAccumulator(std::string* aOutput, std::string aSeparator, ItemOperation aOperation)
        : output(aOutput), separator(std::move(aSeparator)), operation(aOperation) {}

    void operator()(const T* item) const
    {
        std::string text = (item->*operation)();
        if (!text.empty()) {
            output->append(text);
            output->append(separator);
        }
    }

private:
    std::string* output;
    std::string separator;
    ItemOperation operation;
};

// Joins the texts that operation gives for the items of [first, last), in
// range order, with separator after each non-empty text but the last one
// (after the last one too when trailingSeparator is set). The items are
// pointers, raw or smart, to const T.
template <class T, class Iterator>
std::string Accumulate(bool trailingSeparator, Iterator first, Iterator last,
                       std::string (T::*operation)() const, std::string separator)
{
    if (first == last)
        throw CEEmptyStrList();
    std::string result;
    CStringAccumulator<T> acc(&result, separator, operation);
    --last;
    for (; first != last; ++first)
        acc(&**first);
    std::string text = ((&**last)->*operation)();
    if (!text.empty()) {
        result.append(text);
        if (trailingSeparator)
            result.append(separator);
    }
    return result;
}

}  // namespace StringAccumulator
