#pragma once
// The character set of a run: the name the connection asks Firebird for, and
// the encoding that the same bytes carry for iconv and in an XML declaration.
// Values read from the database are bytes of that set; the script keeps them
// as they are, and only the XML log and the window convert them.
#include <cstddef>
#include <string>
#include <vector>

struct TCharset {
    std::string name;      // Firebird's name: "UTF8", "WIN1252", "NONE"
    std::string encoding;  // the encoding's name for iconv and XML: "UTF-8"
};

// The set a run uses unless told otherwise.
extern const char kDefaultCharset[];  // "WIN1251"

// The set of a Firebird character set name or one of its usual aliases
// ("utf-8", "win_1252", "latin1"), in any case. NONE is bytes without a
// character set: its encoding is ISO-8859-1, in which every byte is the
// character of its own number, so no byte is lost or refused on its way
// through the XML log or the window. False for a name not known here
// (OCTETS among them: Firebird 3 refuses it as a connection's set).
bool FindCharset(const std::string& name, TCharset& charset);
// The set of a name FindCharset knows; throws std::invalid_argument for any
// other.
TCharset CharsetOf(const std::string& name);
// Firebird's names of the sets FindCharset knows, the usual ones first.
std::vector<std::string> CharsetNames();

// The most bytes one character of the set takes (UTF8: 4, UNICODE_FSS: 3;
// 1 for a set of one byte a character), as Firebird counts them.
int MaxCharacterBytes(const std::string& name);
// How many bytes of the text, at most `size` from its beginning, hold at
// most `characters` characters of the encoding, none of them cut: a
// sequence that is no character of the encoding counts as a character of
// one byte.
std::size_t WholeCharacters(const std::string& encoding, const char* text, std::size_t size,
                            std::size_t characters);

// The set to suggest when a value cannot be read in the set `failed`: UTF8,
// in which every character has a place, or NONE when UTF8 itself failed
// (bytes that are not text of their own set, which NONE passes as they are).
std::string CharsetThatReads(const std::string& failed);

// Text in the encoding as UTF-8. A byte the encoding does not define (0x98
// of Windows-1251, a broken UTF-8 sequence) becomes the character of its own
// number, U+0080 to U+00FF, so that no value makes a conversion fail. False
// when iconv has no converter for the encoding.
bool ToUtf8(const std::string& text, const std::string& encoding, std::string& utf8);
// UTF-8 text in the encoding; a character the encoding cannot hold becomes
// '?', except that U+0080 to U+00FF standing for a byte the encoding does not
// define (as ToUtf8 gives it) become that byte again, so every byte survives
// the way there and back. False when iconv has no converter for the encoding.
bool FromUtf8(const std::string& utf8, const std::string& encoding, std::string& text);
// UTF-8 text in the encoding as an XML document in it spells it: a
// character the encoding cannot hold is a decimal character reference
// ("&#65533;"). False when iconv has no converter for the encoding.
bool ToXmlEncoding(const std::string& utf8, const std::string& encoding, std::string& text);
// Whether every character of the encoding is one byte (Windows-1251,
// ISO-8859-5, ...), as opposed to UTF-8, Shift_JIS and the like.
bool IsSingleByte(const std::string& encoding);

// Whether every byte of the text is ASCII (below 0x80).
bool IsAscii(const std::string& text);
// Text of one encoding in another, through UTF-8 (as ToUtf8 and FromUtf8).
// The text unchanged when the encodings are the same or a converter is
// missing.
std::string Recode(const std::string& text, const std::string& from, const std::string& to);
// Text of one encoding in another for a reader (a terminal): a character the
// other lacks is written as iconv spells it there ("<<" for "«"), a byte
// that is no character of its encoding is left out. The text unchanged when
// a converter is missing.
std::string Transliterated(const std::string& text, const std::string& from, const std::string& to);
