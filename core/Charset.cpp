#include "core/Charset.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

const char kDefaultCharset[] = "WIN1251";

namespace {

struct TKnownCharset {
    const char* name;
    const char* encoding;
};

// Firebird's character sets with an encoding that iconv and libxml2 know,
// the usual ones first. The spelling of "Windows-1251" is the one the XML
// template declares. CYRL and NEXT have no such encoding and are left out;
// OCTETS, which Firebird 3 refuses as a connection's set, too.
constexpr std::array<TKnownCharset, 47> kCharsets = {{
    {"WIN1251", "Windows-1251"}, {"UTF8", "UTF-8"},           {"WIN1252", "Windows-1252"},
    {"ISO8859_1", "ISO-8859-1"}, {"NONE", "ISO-8859-1"},       {"WIN1250", "Windows-1250"},
    {"WIN1253", "Windows-1253"}, {"WIN1254", "Windows-1254"},  {"WIN1255", "Windows-1255"},
    {"WIN1256", "Windows-1256"}, {"WIN1257", "Windows-1257"},  {"WIN1258", "Windows-1258"},
    {"KOI8R", "KOI8-R"},         {"KOI8U", "KOI8-U"},          {"DOS866", "IBM866"},
    {"ASCII", "US-ASCII"},       {"UNICODE_FSS", "UTF-8"},
    {"ISO8859_2", "ISO-8859-2"}, {"ISO8859_3", "ISO-8859-3"},  {"ISO8859_4", "ISO-8859-4"},
    {"ISO8859_5", "ISO-8859-5"}, {"ISO8859_6", "ISO-8859-6"},  {"ISO8859_7", "ISO-8859-7"},
    {"ISO8859_8", "ISO-8859-8"}, {"ISO8859_9", "ISO-8859-9"},  {"ISO8859_13", "ISO-8859-13"},
    {"DOS437", "IBM437"},        {"DOS737", "CP737"},          {"DOS775", "CP775"},
    {"DOS850", "IBM850"},        {"DOS852", "IBM852"},         {"DOS857", "IBM857"},
    {"DOS858", "IBM858"},        {"DOS860", "IBM860"},         {"DOS861", "IBM861"},
    {"DOS862", "IBM862"},        {"DOS863", "IBM863"},         {"DOS864", "IBM864"},
    {"DOS865", "IBM865"},        {"DOS869", "IBM869"},         {"SJIS_0208", "Shift_JIS"},
    {"EUCJ_0208", "EUC-JP"},     {"KSC_5601", "EUC-KR"},       {"BIG_5", "Big5"},
    {"GB_2312", "GB2312"},       {"GBK", "GBK"},               {"GB18030", "GB18030"},
}};

// Aliases Firebird accepts for the same sets.
constexpr std::array<std::pair<const char*, const char*>, 7> kAliases = {{
    {"UTF-8", "UTF8"},
    {"UTF_8", "UTF8"},
    {"LATIN1", "ISO8859_1"},
    {"ISO88591", "ISO8859_1"},
    {"ASCII7", "ASCII"},
    {"USASCII", "ASCII"},
    {"SQL_TEXT", "UNICODE_FSS"},
}};

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// One iconv conversion descriptor, closed with its owner.
class TIconv {
public:
    TIconv(const std::string& to, const std::string& from) : cd(iconv_open(to.c_str(), from.c_str())) {}
    ~TIconv()
    {
        if (ok())
            iconv_close(cd);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd; }

private:
    iconv_t cd;
};

// Opened once per thread and pair of encodings and reused: the XML log makes
// several conversions per logged field. A run asks for the same pair again
// and again: that one is found without a look-up.
TIconv& Converter(const std::string& to, const std::string& from)
{
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<TIconv>> converters;
    thread_local std::pair<std::string, std::string> lastKey;
    thread_local TIconv* last = nullptr;
    if (last && lastKey.first == to && lastKey.second == from)
        return *last;
    std::unique_ptr<TIconv>& converter = converters[{to, from}];
    if (!converter)
        converter = std::make_unique<TIconv>(to, from);
    lastKey = {to, from};
    last = converter.get();
    return *last;
}

// Converts the whole text. Where iconv refuses the input at `in`,
// `unconvertible` gives what stands for it and how many bytes it replaces.
template <class Unconvertible>
bool Convert(TIconv& converter, const std::string& text, std::string& out, Unconvertible unconvertible)
{
    if (!converter.ok())
        return false;
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    out.assign(text.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    size_t done = 0;
    while (inLeft > 0) {
        char* to = &out[done];
        size_t toLeft = out.size() - done;
        const size_t result = iconv(converter.get(), &in, &inLeft, &to, &toLeft);
        done = out.size() - toLeft;
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL)
            return false;
        const auto [stand, replaced] = unconvertible(in, inLeft);
        if (out.size() - done < stand.size())
            out.resize(out.size() * 2 + stand.size());
        out.replace(done, stand.size(), stand);
        done += stand.size();
        in += replaced;
        inLeft -= replaced;
    }
    out.resize(done);
    return true;
}

// Whether the byte is a character of the encoding (0x98 is none of
// Windows-1251's).
bool Defines(const std::string& encoding, char byte)
{
    TIconv& converter = Converter("UTF-8", encoding);
    if (!converter.ok())
        return true;
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    char out[8];
    char* in = &byte;
    size_t inLeft = 1;
    char* to = out;
    size_t toLeft = sizeof out;
    return iconv(converter.get(), &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1);
}

size_t Utf8SequenceLength(const char* in, size_t left)
{
    const auto lead = static_cast<unsigned char>(*in);
    size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, left);
}

}  // namespace

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool FindCharset(const std::string& name, TCharset& charset)
{
    std::string wanted = Upper(name);
    for (const auto& [alias, real] : kAliases)
        if (wanted == alias)
            wanted = real;
    if (wanted.rfind("WIN_", 0) == 0)
        wanted.erase(3, 1);
    for (const TKnownCharset& known : kCharsets) {
        if (wanted == known.name) {
            charset = {known.name, known.encoding};
            return true;
        }
    }
    return false;
}

TCharset CharsetOf(const std::string& name)
{
    TCharset charset;
    if (!FindCharset(name, charset))
        throw std::invalid_argument("'" + name + "' is not a character set this program knows");
    return charset;
}

std::vector<std::string> CharsetNames()
{
    std::vector<std::string> names;
    for (const TKnownCharset& known : kCharsets)
        names.emplace_back(known.name);
    return names;
}

int MaxCharacterBytes(const std::string& name)
{
    static const std::pair<const char*, int> wide[] = {
        {"UTF8", 4},      {"UNICODE_FSS", 3}, {"GB18030", 4}, {"SJIS_0208", 2}, {"EUCJ_0208", 2},
        {"KSC_5601", 2}, {"BIG_5", 2},        {"GB_2312", 2}, {"GBK", 2},
    };
    for (const auto& [set, bytes] : wide)
        if (name == set)
            return bytes;
    return 1;
}

std::size_t WholeCharacters(const std::string& encoding, const char* text, std::size_t size,
                            std::size_t characters)
{
    // A decoder into four bytes a character stops after the last whole
    // character that fits its output, or before one that the input cuts.
    TIconv& converter = Converter("UTF-32LE", encoding);
    if (!converter.ok())
        return std::min(size, characters);
    iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
    std::string out(4 * std::min(size, characters), '\0');
    char* in = const_cast<char*>(text);
    size_t inLeft = size;
    char* to = &out[0];
    size_t toLeft = out.size();
    while (inLeft > 0 && toLeft >= 4) {
        if (iconv(converter.get(), &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1) || errno != EILSEQ)
            break;
        ++in;
        --inLeft;
        toLeft -= 4;
    }
    return size - inLeft;
}

std::string CharsetThatReads(const std::string& failed) { return failed == "UTF8" ? "NONE" : "UTF8"; }

// The length of the well-formed UTF-8 sequence at `in` (RFC 3629: no
// overlong forms, no surrogates, nothing above U+10FFFF), 0 when there is
// none.
size_t WellFormedUtf8(const unsigned char* in, size_t left)
{
    const unsigned char lead = in[0];
    if (lead < 0x80)
        return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || length > left)
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((in[i] & 0xC0) != 0x80)
            return 0;
    const unsigned char second = in[1];
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

bool ToUtf8(const std::string& text, const std::string& encoding, std::string& utf8)
{
    if (IsAscii(text)) {
        utf8 = text;
        return true;
    }
    if (Upper(encoding) == "UTF-8") {
        // iconv passes longer forms that are no UTF-8 any more.
        utf8.clear();
        const auto* in = reinterpret_cast<const unsigned char*>(text.data());
        for (size_t at = 0; at < text.size();) {
            const size_t length = WellFormedUtf8(in + at, text.size() - at);
            if (length > 0) {
                utf8.append(text, at, length);
                at += length;
            } else {
                utf8 += static_cast<char>(0xC0 | (in[at] >> 6));
                utf8 += static_cast<char>(0x80 | (in[at] & 0x3F));
                ++at;
            }
        }
        return true;
    }
    return Convert(Converter("UTF-8", encoding), text, utf8, [](const char* in, size_t) {
        const auto c = static_cast<unsigned char>(*in);
        std::string stand = c < 0x80 ? std::string(1, static_cast<char>(c))
                                     : std::string{static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        return std::make_pair(stand, size_t{1});
    });
}

bool FromUtf8(const std::string& utf8, const std::string& encoding, std::string& text)
{
    if (IsAscii(utf8)) {
        text = utf8;
        return true;
    }
    return Convert(Converter(encoding, "UTF-8"), utf8, text, [&encoding](const char* in, size_t left) {
        const size_t length = Utf8SequenceLength(in, left);
        // U+0080 to U+00FF may stand for a byte the encoding does not
        // define, as ToUtf8 gives it: that byte again.
        const auto lead = static_cast<unsigned char>(in[0]);
        if (length == 2 && (lead == 0xC2 || lead == 0xC3)) {
            const char byte = static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(in[1]) & 0x3F));
            if (!Defines(encoding, byte))
                return std::make_pair(std::string(1, byte), length);
        }
        return std::make_pair(std::string("?"), length);
    });
}

bool ToXmlEncoding(const std::string& utf8, const std::string& encoding, std::string& text)
{
    if (IsAscii(utf8) || Upper(encoding) == "UTF-8") {
        text = utf8;
        return true;
    }
    return Convert(Converter(encoding, "UTF-8"), utf8, text, [](const char* in, size_t left) {
        const size_t length = Utf8SequenceLength(in, left);
        const auto lead = static_cast<unsigned char>(in[0]);
        unsigned long code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t i = 1; i < length; ++i)
            code = code << 6 | (static_cast<unsigned char>(in[i]) & 0x3F);
        return std::make_pair("&#" + std::to_string(code) + ";", length);
    });
}

bool IsSingleByte(const std::string& encoding)
{
    if (Upper(encoding) == "UTF-8")
        return false;
    TIconv& converter = Converter("UTF-8", encoding);
    if (!converter.ok())
        return false;
    // The lead byte of a longer character is an incomplete input alone.
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
        char one = static_cast<char>(byte);
        char out[8];
        char* in = &one;
        size_t inLeft = 1;
        char* to = out;
        size_t toLeft = sizeof out;
        if (iconv(converter.get(), &in, &inLeft, &to, &toLeft) == static_cast<size_t>(-1) && errno == EINVAL)
            return false;
    }
    return true;
}

std::string Transliterated(const std::string& text, const std::string& from, const std::string& to)
{
    if (Upper(from) == Upper(to) || IsAscii(text))
        return text;
    std::string out;
    if (!Convert(Converter(to + "//TRANSLIT", from), text, out,
                 [](const char*, size_t) { return std::make_pair(std::string(), size_t{1}); }))
        return text;
    return out;
}

std::string Recode(const std::string& text, const std::string& from, const std::string& to)
{
    if (Upper(from) == Upper(to) || IsAscii(text))
        return text;
    std::string utf8, out;
    if (!ToUtf8(text, from, utf8) || !FromUtf8(utf8, to, out))
        return text;
    return out;
}
