#include "app/Cp1251.h"

#include "core/Charset.h"

#include <QFile>

namespace {

const char kCp1251[] = "WINDOWS-1251";

}  // namespace

// Windows-1251 defines every byte but 0x98, which comes as U+0098 and goes
// back as 0x98, as Windows converts it: every byte survives a round trip.
QString FromCp1251(const std::string& text)
{
    std::string utf8;
    if (!ToUtf8(text, kCp1251, utf8))
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp1251(const QString& text)
{
    std::string bytes;
    if (!FromUtf8(text.toStdString(), kCp1251, bytes))
        return text.toLatin1().toStdString();
    return bytes;
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
