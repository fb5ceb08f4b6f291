#pragma once
#include <cstddef>
#include <string>

// The texts built into the program. Each file res/<type>-<number>[-<words>].<ext>
// becomes the text of type name <TYPE> and that number, converted at build
// time from UTF-8 with LF line ends to Windows-1251 with CR LF line ends.
namespace BuiltinTexts {

struct TText {
    const char* typeName;  // "LOG", "XML", "LOCALE", "HELP"
    int number;
    const unsigned char* bytes;
    std::size_t size;  // the bytes carry no terminating zero
};

// The program's texts, in file-name order (generated).
extern const TText table[];
extern const std::size_t tableSize;

// The text of the given number and type name (matched without regard to
// case) among [first, last): its bytes up to the first zero byte, or "0"
// when there is no such text.
std::string Load(const TText* first, const TText* last, int number, const std::string& typeName);

}  // namespace BuiltinTexts
