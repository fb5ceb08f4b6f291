#include "core/Resfuncs.h"

#include "res/BuiltinTexts.h"

#include <strings.h>

#include <cstring>
#include <vector>

namespace BuiltinTexts {

std::string Load(const TText* first, const TText* last, int number, const std::string& typeName)
{
    for (const TText* text = first; text != last; ++text) {
        if (text->number != number || strcasecmp(text->typeName, typeName.c_str()) != 0)
            continue;
        // The stored bytes carry no terminator: copy them into a buffer one
        // byte longer with a zero at the end and take the text up to the
        // first zero, so a text with a zero byte inside ends there.
        try {
            std::vector<char> buffer(text->size + 1, '\0');
            if (text->size != 0)
                std::memcpy(buffer.data(), text->bytes, text->size);
            return std::string(buffer.data());
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    return "0";
}

}  // namespace BuiltinTexts

std::string LoadResourceText(int Number, const std::string& TypeName)
{
    return BuiltinTexts::Load(BuiltinTexts::table, BuiltinTexts::table + BuiltinTexts::tableSize, Number,
                              TypeName);
}
