// Built with -ffp-contract=off (CMakeLists.txt): Firebird rounds every
// operation of its conversions, and their copy here must not fuse a product
// and a sum into one rounding.
#include "engine/Cnumberliteral.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace NorvaneImpl {

namespace {

// The largest exponent of ten Firebird scales a double by; a literal that
// needs more is out of range.
constexpr int kMaxScale = 308;

// Decimals of an exact literal that are still divided by an exact power of
// ten; a form with more is not written.
constexpr int kMaxDecimals = 22;

// Ten to the power of 0 to 319 as Firebird computes it: two table entries
// multiplied, the product rounded.
double PowerOfTen(int n)
{
    static const double upper[] = {1e0, 1e32, 1e64, 1e96, 1e128, 1e160, 1e192, 1e224, 1e256, 1e288};
    static const double lower[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                                   1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21,
                                   1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31};
    return upper[n >> 5] * lower[n & 31];
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameFloatBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// How Firebird reads an unsigned literal: the double, and whether it was an
// exact number (an integer with a scale, whose negation keeps zero
// unsigned).
bool Read(const std::string& literal, double& value, bool& exact)
{
    std::size_t i = 0;
    std::uint64_t number = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < literal.size(); ++i) {
        const char c = literal[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        // The lexer's own check: no digit may take the integer past 2^63.
        constexpr std::uint64_t kLimit = INT64_MAX / 10;
        if (number > kLimit || (number == kLimit && c > '8'))
            return false;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
        ++digits;
        decimals += point ? 1 : 0;
    }
    if (digits == 0)
        return false;
    if (i == literal.size()) {
        // An exact number: the integer with a scale, converted once.
        if (number > static_cast<std::uint64_t>(INT64_MAX) || decimals > kMaxDecimals)
            return false;
        exact = true;
        value = static_cast<double>(static_cast<std::int64_t>(number));
        if (decimals > 0)
            value /= PowerOfTen(decimals);
        return true;
    }
    if (literal[i] != 'e' && literal[i] != 'E')
        return false;
    int exponent = 0, sign = 1;
    std::size_t at = i + 1;
    if (at < literal.size() && (literal[at] == '+' || literal[at] == '-'))
        sign = literal[at++] == '-' ? -1 : 1;
    if (at == literal.size())
        return false;
    for (; at < literal.size(); ++at) {
        if (literal[at] < '0' || literal[at] > '9')
            return false;
        exponent = exponent * 10 + (literal[at] - '0');
        if (exponent >= 3276)  // the conversion's guard against overflow of its scale
            return false;
    }
    // An approximate number: the digits one by one into a double, then one
    // scaling by a power of ten.
    double approximate = 0;
    for (std::size_t d = 0; d < i; ++d)
        if (literal[d] != '.')
            approximate = approximate * 10.0 + (literal[d] - '0');
    const int scale = decimals - sign * exponent;
    if (scale > kMaxScale || scale < -kMaxScale)
        return false;
    if (scale > 0)
        approximate /= PowerOfTen(scale);
    else if (scale < 0)
        approximate *= PowerOfTen(-scale);
    if (std::isinf(approximate))
        return false;
    exact = false;
    value = approximate;
    return true;
}

// A number of the given significant digits and decimal exponent (of the
// first digit), written without an exponent when that takes few decimals,
// else as d.ddd e exponent.
std::string Decimal(std::string digits, int exponent, bool withExponent)
{
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int count = static_cast<int>(digits.size());
    if (!withExponent) {
        if (exponent >= count - 1)
            return digits + std::string(static_cast<std::size_t>(exponent - count + 1), '0');
        if (exponent >= 0)
            return digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
                   digits.substr(static_cast<std::size_t>(exponent + 1));
        return "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    return digits.substr(0, 1) + (count > 1 ? "." + digits.substr(1) : std::string()) + "e" + std::to_string(exponent);
}

// The significant digits and decimal exponent of a positive double, as the
// shortest text that reads back to it (precision 0) or with that many
// significant digits.
void Digits(double value, int precision, std::string& digits, int& exponent)
{
    char text[64];
    const auto written =
        precision == 0 ? std::to_chars(text, text + sizeof text, value, std::chars_format::scientific)
                       : std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, precision - 1);
    const std::string scientific(text, written.ptr);
    const std::size_t e = scientific.find('e');
    digits.clear();
    for (std::size_t i = 0; i < e; ++i)
        if (scientific[i] != '.')
            digits += scientific[i];
    exponent = std::stoi(scientific.substr(e + 1));
}

// The search for a literal of one positive number.
class TSearch {
public:
    TSearch(double aTarget, bool aSingle) : target(aTarget), single(aSingle) { }

    // Whether Firebird reads the literal as the number; the literal is kept
    // when it does.
    bool Try(const std::string& literal)
    {
        double value = 0;
        bool exact = false;
        if (!Read(literal, value, exact) || !Matches(value))
            return false;
        found = literal;
        return true;
    }
    // The digits as a number without an exponent, then with one.
    bool TryDigits(const std::string& digits, int exponent)
    {
        const int decimals = static_cast<int>(digits.size()) - 1 - exponent;
        return (exponent >= -6 && exponent <= 18 && decimals <= kMaxDecimals &&
                Try(Decimal(digits, exponent, false))) ||
               Try(Decimal(digits, exponent, true));
    }
    bool Matches(double value) const
    {
        if (!single)
            return SameBits(value, target);
        return std::fabs(value) <= FLT_MAX && SameFloatBits(static_cast<float>(value), static_cast<float>(target));
    }
    const std::string& Found() const { return found; }

private:
    double target;
    bool single;
    std::string found;
};

// A literal Firebird reads as the positive number, or empty.
std::string DecimalLiteral(double number, bool single)
{
    TSearch search(number, single);
    std::string digits;
    int exponent = 0;
    // The shortest text that reads back to the number, then 17 digits and
    // their neighbours in the last digit.
    Digits(number, 0, digits, exponent);
    if (search.TryDigits(digits, exponent))
        return search.Found();
    Digits(number, 17, digits, exponent);
    const long long seventeen = std::stoll(digits);
    for (const int step : {0, -1, 1, -2, 2, -3, 3})
        if (std::to_string(seventeen + step).size() == 17 &&
            search.TryDigits(std::to_string(seventeen + step), exponent))
            return search.Found();
    // Exact numbers whose integer is itself a double above 2^53: its one
    // conversion is then no rounding, and the division the only one.
    for (int decimals = 15 - exponent; decimals <= 19 - exponent; ++decimals) {
        if (decimals < 0 || decimals > kMaxDecimals)
            continue;
        const long double scaled = static_cast<long double>(number) * std::pow(10.0L, decimals);
        if (scaled >= 9.2e18L)
            break;
        double integer = static_cast<double>(std::llround(scaled));
        for (const int step : {0, -1, 1, -2, 2}) {
            double candidate = integer;
            for (int i = 0; i < std::abs(step); ++i)
                candidate = std::nextafter(candidate, step < 0 ? 0.0 : HUGE_VAL);
            std::string text = std::to_string(static_cast<long long>(candidate));
            const auto places = static_cast<std::size_t>(decimals);
            if (text.size() <= places)
                text.insert(0, places + 1 - text.size(), '0');
            if (search.Try(text.substr(0, text.size() - places) + "." + text.substr(text.size() - places)))
                return search.Found();
        }
    }
    return {};
}

// The positive number as a sum of two literals, or empty: the first a
// literal Firebird reads as a number near it, the second the small rest.
std::string SumLiteral(double number, bool single)
{
    std::string digits;
    int exponent = 0;
    Digits(number, 16, digits, exponent);
    const std::string high = Decimal(digits, exponent, exponent < -6 || exponent > 18);
    double near = 0;
    bool exact = false;
    if (!Read(high, near, exact) || near < number / 2 || near > number * 2 || near == number)
        return {};
    // Within a factor of two of each other, the difference is exact.
    const double rest = number - near;
    Digits(std::fabs(rest), 0, digits, exponent);
    const std::string low = Decimal(digits, exponent, true);
    double small = 0;
    if (!Read(low, small, exact))
        return {};
    const double sum = rest < 0 ? near - small : near + small;
    if (!TSearch(number, single).Matches(sum))
        return {};
    return "(" + high + (rest < 0 ? " - " : " + ") + low + ")";
}

// The positive number as an integer times a power of two, which Firebird
// multiplies exactly: every double has this form.
std::string BinaryLiteral(double number)
{
    int exponent = 0;
    const double fraction = std::frexp(number, &exponent);
    auto integer = static_cast<std::int64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    while (integer % 2 == 0) {
        integer /= 2;
        ++exponent;
    }
    return "(" + std::to_string(integer) + " * power(2, " + std::to_string(exponent) + "))";
}

// The significant digits of a number literal's mantissa, leading zeros
// left out.
int SignificantDigits(const std::string& literal)
{
    int count = 0;
    for (const char c : literal) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            ++count;
        else if (c == '0' && count > 0)
            ++count;
    }
    return count;
}

}  // namespace

bool FirebirdReads(const std::string& literal, double& value, bool single)
{
    bool exact = false;
    if (!Read(literal, value, exact))
        return false;
    return !single || std::fabs(value) <= FLT_MAX;
}

std::string ExactFloatingLiteral(const std::string& logged, bool single)
{
    // The number the text denotes, read exactly; a FLOAT column stores it
    // rounded to single precision.
    const bool negative = !logged.empty() && logged[0] == '-';
    const std::size_t start = negative || (!logged.empty() && logged[0] == '+') ? 1 : 0;
    double number = 0;
    const auto read = std::from_chars(logged.data() + start, logged.data() + logged.size(), number);
    if (read.ec != std::errc() || read.ptr != logged.data() + logged.size())
        return {};
    if (single)
        number = static_cast<float>(number);
    if (std::isinf(number))
        return {};

    const std::string sign = negative ? "-" : "";
    // The text of 17 significant digits that makes a double exact in the log
    // reads more easily in its shortest form (0.35 for 0.34999999999999998).
    std::string digits;
    int exponent = 0;
    if (number != 0 && SignificantDigits(logged) >= 17) {
        Digits(number, 0, digits, exponent);
        TSearch shortest(number, single);
        if (shortest.TryDigits(digits, exponent))
            return sign + shortest.Found();
    }
    // The logged text as it stands, when Firebird reads it so. A minus sign
    // is an operator of its own, and minus an exact zero is zero.
    double value = 0;
    bool exact = false;
    if (Read(logged.substr(start), value, exact) &&
        TSearch(negative ? -number : number, single).Matches(negative && !(exact && value == 0) ? -value : value))
        return logged;
    if (number == 0)
        return sign + "0e0";
    std::string literal = DecimalLiteral(number, single);
    if (literal.empty())
        literal = SumLiteral(number, single);
    if (literal.empty())
        literal = BinaryLiteral(number);
    return sign + literal;
}

}  // namespace NorvaneImpl
