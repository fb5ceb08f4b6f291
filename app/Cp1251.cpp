#include "app/Cp1251.h"

#include "app/core/Charset.h"

#include <QFile>
#include <array>

namespace {

// Unicode of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in
// order. 0x98 is unassigned in the code page and maps to U+0098, as Windows
// converts it, so that every byte survives a round trip.
constexpr std::array<char16_t, 64> kUpper = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

char Encode(char16_t c)
{
    if (c < 0x80)
        return static_cast<char>(c);
    if (c >= 0x0410 && c <= 0x044F)
        return static_cast<char>(c - 0x0410 + 0xC0);
    for (size_t i = 0; i < kUpper.size(); ++i)
        if (kUpper[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

QString FromCp1251(const std::string& text)
{
    QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = result.data();
    for (unsigned char b : text) {
        if (b < 0x80)
            *out++ = QChar(b);
        else if (b < 0xC0)
            *out++ = QChar(kUpper[b - 0x80]);
        else
            *out++ = QChar(static_cast<char16_t>(0x0410 + (b - 0xC0)));
    }
    return result;
}

std::string ToCp1251(const QString& text)
{
    std::string result;
    result.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        result += Encode(c.unicode());
        // A character beyond the basic plane is one character, one '?'.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return result;
}

namespace {

const char kUtf8Mark[] = "\xEF\xBB\xBF";

// What the ini layer keeps as it is: no control characters anywhere, no
// blank or tab at either end.
bool KeptByIni(const std::string& value)
{
    for (unsigned char b : value)
        if (b < 0x20 || b == 0x7F)
            return false;
    return value.empty() || (value.front() != ' ' && value.back() != ' ');
}

bool IsCp1251(const std::string& encoding)
{
    std::string upper;
    for (char c : encoding)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return upper == "WINDOWS-1251";
}

}  // namespace

std::string PathToSetting(const QString& path)
{
    const std::string text = ToCp1251(path);
    if (FromCp1251(text) == path && KeptByIni(text) && text.rfind(kUtf8Mark, 0) != 0)
        return text;
    const QByteArray bytes = QFile::encodeName(path);
    std::string value = kUtf8Mark;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x20 || b == 0x7F || b == '%' || (b == ' ' && i + 1 == bytes.size())) {
            static const char hex[] = "0123456789ABCDEF";
            value += '%';
            value += hex[b >> 4];
            value += hex[b & 0xF];
        } else {
            value += static_cast<char>(b);
        }
    }
    return value;
}

QString PathFromSetting(const std::string& value)
{
    if (value.rfind(kUtf8Mark, 0) != 0)
        return FromCp1251(value);
    const QByteArray escaped = QByteArray::fromStdString(value.substr(sizeof kUtf8Mark - 1));
    return QFile::decodeName(QByteArray::fromPercentEncoding(escaped));
}

QString FromEncoding(const std::string& text, const std::string& encoding)
{
    std::string utf8;
    if (IsCp1251(encoding) || !ToUtf8(text, encoding, utf8))
        return FromCp1251(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToEncoding(const QString& text, const std::string& encoding)
{
    std::string bytes;
    if (IsCp1251(encoding) || !FromUtf8(text.toStdString(), encoding, bytes))
        return ToCp1251(text);
    return bytes;
}
