// Printf-style wide formatting in the Windows convention, written out here
// instead of handed to vswprintf: the C runtimes disagree on %s, on the size of
// long and on the width of wchar_t, and the logs must read the same on every
// build. Numbers go through std::to_chars, which is locale-free and gives the
// same digits everywhere.
#include "platform/WideFormatter.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "platform/TextCodec.h"

namespace Strato {
namespace {

constexpr size_t kNoPrecision = SIZE_MAX;

// A double's exact decimal expansion has at most 1074 fraction digits and
// 767 significant digits; every digit asked for beyond those is a zero, so
// to_chars is asked for at most these many and the zeros are added after.
constexpr size_t kMaxFixedDigits = 1100;
constexpr size_t kMaxScientificDigits = 800;
// 309 integer digits, a point and kMaxFixedDigits, with room to spare.
constexpr size_t kFloatBufferSize = 1536;

enum class Length { None, Char, Short, Long, LongLong, Wide, Int32, Int64, PointerSized };

struct Directive {
    bool left = false;
    bool plus = false;
    bool blank = false;
    bool alternate = false;
    bool zero = false;
    size_t width = 0;
    size_t precision = kNoPrecision;
    Length length = Length::None;
    wchar_t conversion = 0;
};

// What a conversion reads from the arguments; Invalid means the format cannot
// be trusted from here on.
enum class Kind {
    Invalid,
    Percent,
    Signed,
    Unsigned,
    Float,
    WideChar,
    NarrowChar,
    WideString,
    NarrowString,
    Pointer,
    Count
};

// A copy of the caller's argument list, so that the caller's own list stays
// usable and every helper reads from one position.
class Arguments {
public:
    explicit Arguments(va_list args) { va_copy(list_, args); }
    ~Arguments() { va_end(list_); }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    int nextInt() { return va_arg(list_, int); }
    unsigned nextUnsigned() { return va_arg(list_, unsigned); }
    int64_t nextInt64() { return va_arg(list_, int64_t); }
    uint64_t nextUint64() { return va_arg(list_, uint64_t); }
    double nextDouble() { return va_arg(list_, double); }
    const void* nextPointer() { return va_arg(list_, const void*); }
    const wchar_t* nextWideString() { return va_arg(list_, const wchar_t*); }
    const char* nextNarrowString() { return va_arg(list_, const char*); }

private:
    va_list list_;
};

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
bool isHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

void appendAscii(std::wstring& out, std::string_view text, bool upper = false) {
    for (const char c : text) {
        out.push_back(static_cast<wchar_t>(upper && c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    }
}

// Reads a decimal width or precision; false when it does not fit an int,
// which no sane format asks for.
bool parseNumber(std::wstring_view format, size_t& i, size_t& value) {
    value = 0;
    while (i < format.size() && isDigit(format[i])) {
        value = value * 10 + static_cast<size_t>(format[i] - L'0');
        if (value > INT_MAX) {
            return false;
        }
        ++i;
    }
    return true;
}

Length parseLength(std::wstring_view format, size_t& i) {
    struct Prefix {
        std::wstring_view text;
        Length length;
    };
    // Longer prefixes first: "hh" before "h", "I64" before "I".
    static constexpr Prefix kPrefixes[] = {
        {L"hh", Length::Char},        {L"h", Length::Short},        {L"ll", Length::LongLong},
        {L"l", Length::Long},         {L"w", Length::Wide},         {L"I64", Length::Int64},
        {L"I32", Length::Int32},      {L"I", Length::PointerSized}, {L"z", Length::PointerSized},
        {L"t", Length::PointerSized}, {L"j", Length::Int64},
    };
    for (const Prefix& prefix : kPrefixes) {
        if (format.substr(i, prefix.text.size()) == prefix.text) {
            i += prefix.text.size();
            return prefix.length;
        }
    }
    return Length::None;
}

// Which argument the conversion takes, given its size prefix. Combinations
// outside the Windows convention are Invalid rather than guessed at, because
// a wrong guess reads the wrong argument.
Kind classify(const Directive& directive) {
    const Length length = directive.length;
    const bool integerLength = length != Length::Wide;
    const bool wideLength = length == Length::None || length == Length::Long ||
                            length == Length::LongLong || length == Length::Wide;
    const bool narrowLength = length == Length::Short || length == Length::Char;
    switch (directive.conversion) {
    case L'%':
        return Kind::Percent;
    case L'd':
    case L'i':
        return integerLength ? Kind::Signed : Kind::Invalid;
    case L'u':
    case L'x':
    case L'X':
    case L'o':
        return integerLength ? Kind::Unsigned : Kind::Invalid;
    case L'e':
    case L'E':
    case L'f':
    case L'F':
    case L'g':
    case L'G':
    case L'a':
    case L'A':
        return length == Length::None || length == Length::Long ? Kind::Float : Kind::Invalid;
    case L'c':
        return wideLength ? Kind::WideChar : narrowLength ? Kind::NarrowChar : Kind::Invalid;
    case L's':
        return wideLength ? Kind::WideString : narrowLength ? Kind::NarrowString : Kind::Invalid;
    case L'C':
        return length == Length::None || narrowLength             ? Kind::NarrowChar
               : length == Length::Long || length == Length::Wide ? Kind::WideChar
                                                                  : Kind::Invalid;
    case L'S':
        return length == Length::None || narrowLength             ? Kind::NarrowString
               : length == Length::Long || length == Length::Wide ? Kind::WideString
                                                                  : Kind::Invalid;
    case L'p':
        return length == Length::None ? Kind::Pointer : Kind::Invalid;
    case L'n':
        return Kind::Count;
    default:
        return Kind::Invalid;
    }
}

// Parses flags, width, precision, size and conversion after a '%' at i - 1.
// Width and precision given as '*' are read from the arguments here.
Kind parseDirective(std::wstring_view format, size_t& i, Directive& directive, Arguments& args) {
    for (; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c == L'-') {
            directive.left = true;
        } else if (c == L'+') {
            directive.plus = true;
        } else if (c == L' ') {
            directive.blank = true;
        } else if (c == L'#') {
            directive.alternate = true;
        } else if (c == L'0') {
            directive.zero = true;
        } else {
            break;
        }
    }
    if (i < format.size() && format[i] == L'*') {
        ++i;
        const int64_t width = args.nextInt();
        if (width < 0) {
            directive.left = true;
        }
        directive.width = static_cast<size_t>(width < 0 ? -width : width);
    } else if (!parseNumber(format, i, directive.width)) {
        return Kind::Invalid;
    }
    if (i < format.size() && format[i] == L'.') {
        ++i;
        if (i < format.size() && format[i] == L'*') {
            ++i;
            const int precision = args.nextInt();
            directive.precision = precision < 0 ? kNoPrecision : static_cast<size_t>(precision);
        } else if (!parseNumber(format, i, directive.precision)) {
            return Kind::Invalid;
        }
    }
    directive.length = parseLength(format, i);
    if (i >= format.size()) {
        return Kind::Invalid;
    }
    directive.conversion = format[i++];
    return classify(directive);
}

// Pads the field that starts at `start` to the directive's width: blanks after it
// when left-justified, else zeros at `zeroAt` (after any sign or prefix) when
// zero padding applies, else blanks before it.
void pad(std::wstring& out, const Directive& directive, size_t start, size_t zeroAt, bool zeroPad) {
    const size_t length = out.size() - start;
    if (length >= directive.width) {
        return;
    }
    const size_t count = directive.width - length;
    if (directive.left) {
        out.append(count, L' ');
    } else if (zeroPad) {
        out.insert(zeroAt, count, L'0');
    } else {
        out.insert(start, count, L' ');
    }
}

void appendSign(std::wstring& out, const Directive& directive, bool negative) {
    if (negative) {
        out.push_back(L'-');
    } else if (directive.plus) {
        out.push_back(L'+');
    } else if (directive.blank) {
        out.push_back(L' ');
    }
}

void appendInteger(std::wstring& out, const Directive& directive, uint64_t magnitude, bool negative,
                   bool isSigned) {
    const wchar_t c = directive.conversion;
    const int base = c == L'x' || c == L'X' ? 16 : c == L'o' ? 8 : 10;
    char digits[24];
    size_t count = static_cast<size_t>(
        std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr - digits);
    if (directive.precision == 0 && magnitude == 0) {
        count = 0; // printf's rule: a zero with precision 0 has no digits
    }
    const size_t start = out.size();
    if (isSigned) {
        appendSign(out, directive, negative);
    }
    if (directive.alternate && base == 16 && magnitude != 0) {
        out.append(c == L'X' ? L"0X" : L"0x");
    }
    const size_t zeroAt = out.size();
    size_t zeros = directive.precision != kNoPrecision && directive.precision > count
                       ? directive.precision - count
                       : 0;
    if (directive.alternate && base == 8 && zeros == 0 && (count == 0 || digits[0] != '0')) {
        zeros = 1;
    }
    out.append(zeros, L'0');
    appendAscii(out, std::string_view(digits, count), c == L'X');
    pad(out, directive, start, zeroAt, directive.zero && directive.precision == kNoPrecision);
}

void appendSignedArgument(std::wstring& out, const Directive& directive, Arguments& args) {
    int64_t value = 0;
    switch (directive.length) {
    case Length::Char:
        value = static_cast<int8_t>(args.nextInt());
        break;
    case Length::Short:
        value = static_cast<int16_t>(args.nextInt());
        break;
    case Length::LongLong:
    case Length::Int64:
        value = args.nextInt64();
        break;
    case Length::PointerSized:
        value = sizeof(void*) == 8 ? args.nextInt64() : args.nextInt();
        break;
    default:
        value = args.nextInt();
        break;
    }
    const uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    appendInteger(out, directive, magnitude, value < 0, true);
}

void appendUnsignedArgument(std::wstring& out, const Directive& directive, Arguments& args) {
    uint64_t value = 0;
    switch (directive.length) {
    case Length::Char:
        value = static_cast<uint8_t>(args.nextUnsigned());
        break;
    case Length::Short:
        value = static_cast<uint16_t>(args.nextUnsigned());
        break;
    case Length::LongLong:
    case Length::Int64:
        value = args.nextUint64();
        break;
    case Length::PointerSized:
        value = sizeof(void*) == 8 ? args.nextUint64() : args.nextUnsigned();
        break;
    default:
        value = args.nextUnsigned();
        break;
    }
    appendInteger(out, directive, value, false, false);
}

// The digits of a finite, non-negative double: the part before the exponent,
// then `zeros` further zeros that to_chars was not asked for, then the
// exponent ("e+05", "p-3") if there is one.
struct FloatDigits {
    char text[kFloatBufferSize];
    size_t length = 0;
    size_t mantissaEnd = 0;
    size_t zeros = 0;

    std::string_view mantissa() const { return {text, mantissaEnd}; }
    std::string_view exponent() const { return {text + mantissaEnd, length - mantissaEnd}; }
};

void toChars(FloatDigits& digits, double value, std::chars_format style, size_t precision,
             size_t maxPrecision) {
    const size_t asked = std::min(precision, maxPrecision);
    const auto result = std::to_chars(digits.text, digits.text + kFloatBufferSize, value, style,
                                      static_cast<int>(asked));
    digits.length = static_cast<size_t>(result.ptr - digits.text);
    const char exponentMark = style == std::chars_format::hex ? 'p' : 'e';
    digits.mantissaEnd = std::string_view(digits.text, digits.length).find(exponentMark);
    if (digits.mantissaEnd == std::string_view::npos) {
        digits.mantissaEnd = digits.length;
    }
    digits.zeros = precision - asked;
}

// %g: scientific when the exponent is below -4 or not below the precision,
// else fixed; trailing zeros of the fraction go unless '#' keeps them.
void toGeneral(FloatDigits& digits, double value, size_t precision, bool alternate) {
    const size_t significant = precision == 0 ? 1 : precision;
    long long exponent = 0;
    if (value != 0) {
        // The exponent after rounding to the precision decides the style.
        toChars(digits, value, std::chars_format::scientific, significant - 1,
                kMaxScientificDigits);
        // to_chars does not terminate the text: read the exponent's span only.
        const char* first = digits.text + digits.mantissaEnd + 1; // after 'e'
        if (*first == '+') {
            ++first;
        }
        std::from_chars(first, digits.text + digits.length, exponent);
    }
    if (exponent >= -4 && static_cast<long long>(significant) > exponent) {
        toChars(digits, value, std::chars_format::fixed,
                static_cast<size_t>(static_cast<long long>(significant) - 1 - exponent),
                kMaxFixedDigits);
    } else {
        toChars(digits, value, std::chars_format::scientific, significant - 1,
                kMaxScientificDigits);
    }
    if (alternate || digits.mantissa().find('.') == std::string_view::npos) {
        return;
    }
    digits.zeros = 0;
    size_t end = digits.mantissaEnd;
    while (digits.text[end - 1] == '0') {
        --end;
    }
    if (digits.text[end - 1] == '.') {
        --end;
    }
    std::copy(digits.text + digits.mantissaEnd, digits.text + digits.length, digits.text + end);
    digits.length -= digits.mantissaEnd - end;
    digits.mantissaEnd = end;
}

void appendFloatArgument(std::wstring& out, const Directive& directive, Arguments& args) {
    const double value = args.nextDouble();
    const wchar_t c = directive.conversion;
    const bool upper = c == L'E' || c == L'F' || c == L'G' || c == L'A';
    const size_t start = out.size();
    appendSign(out, directive, std::signbit(value));
    if (!std::isfinite(value)) {
        appendAscii(out, std::isnan(value) ? "nan" : "inf", upper);
        pad(out, directive, start, start, false);
        return;
    }
    const double magnitude = std::fabs(value);
    const size_t precision = directive.precision == kNoPrecision ? 6 : directive.precision;
    FloatDigits digits;
    switch (c) {
    case L'f':
    case L'F':
        toChars(digits, magnitude, std::chars_format::fixed, precision, kMaxFixedDigits);
        break;
    case L'e':
    case L'E':
        toChars(digits, magnitude, std::chars_format::scientific, precision, kMaxScientificDigits);
        break;
    case L'g':
    case L'G':
        toGeneral(digits, magnitude, precision, directive.alternate);
        break;
    default: {
        // %a: without a precision, as many hex digits as the value needs.
        if (directive.precision == kNoPrecision) {
            const auto result = std::to_chars(digits.text, digits.text + kFloatBufferSize,
                                              magnitude, std::chars_format::hex);
            digits.length = static_cast<size_t>(result.ptr - digits.text);
            digits.mantissaEnd = std::string_view(digits.text, digits.length).find('p');
        } else {
            toChars(digits, magnitude, std::chars_format::hex, directive.precision, 13);
        }
        out.append(upper ? L"0X" : L"0x");
        break;
    }
    }
    const size_t zeroAt = out.size();
    appendAscii(out, digits.mantissa(), upper);
    out.append(digits.zeros, L'0');
    if (directive.alternate && digits.mantissa().find('.') == std::string_view::npos) {
        out.push_back(L'.'); // '#' always shows the point
    }
    appendAscii(out, digits.exponent(), upper);
    pad(out, directive, start, zeroAt, directive.zero && !directive.left);
}

// Appends up to `precision` units of a string; a cut that would leave the
// high half of a surrogate pair drops the whole pair instead.
void appendUnits(std::wstring& out, const Directive& directive, std::wstring_view units, bool cut) {
    if (cut && !units.empty() && isHighSurrogate(units.back())) {
        units.remove_suffix(1);
    }
    const size_t start = out.size();
    out.append(units);
    pad(out, directive, start, start, false);
}

void appendWideString(std::wstring& out, const Directive& directive, const wchar_t* text) {
    if (text == nullptr) {
        text = L"(null)";
    }
    // Never reads past `precision` units: the text need not be terminated then.
    size_t count = 0;
    while (count < directive.precision && text[count] != L'\0') {
        ++count;
    }
    appendUnits(out, directive, std::wstring_view(text, count), count == directive.precision);
}

void appendNarrowString(std::wstring& out, const Directive& directive, const char* text) {
    if (text == nullptr) {
        appendWideString(out, directive, nullptr);
        return;
    }
    // Decodes only as many bytes as the precision can use. Every byte that is
    // not a UTF-8 continuation byte starts at least one UTF-16 unit, so
    // stopping at the first such byte beyond `precision` of them loses nothing.
    size_t bytes = 0;
    size_t starts = 0;
    for (; text[bytes] != '\0'; ++bytes) {
        if ((static_cast<unsigned char>(text[bytes]) & 0xC0) != 0x80 &&
            starts++ == directive.precision) {
            break;
        }
    }
    const std::wstring decoded = Vanta::fromUtf8(std::string_view(text, bytes));
    const std::wstring_view units(decoded);
    const bool cut = units.size() > directive.precision;
    appendUnits(out, directive, cut ? units.substr(0, directive.precision) : units, cut);
}

void appendChar(std::wstring& out, const Directive& directive, wchar_t unit) {
    appendUnits(out, directive, std::wstring_view(&unit, 1), false);
}

void appendPointer(std::wstring& out, const Directive& directive, const void* pointer) {
    // As the Windows runtime prints it: every hex digit of the pointer.
    char digits[2 * sizeof(void*)];
    auto value = reinterpret_cast<uintptr_t>(pointer);
    for (size_t i = sizeof digits; i-- > 0; value >>= 4) {
        digits[i] = "0123456789ABCDEF"[value & 0xF];
    }
    const size_t start = out.size();
    appendAscii(out, std::string_view(digits, sizeof digits));
    pad(out, directive, start, start, false);
}

void appendArgument(std::wstring& out, const Directive& directive, Kind kind, Arguments& args) {
    switch (kind) {
    case Kind::Percent:
        out.push_back(L'%');
        break;
    case Kind::Signed:
        appendSignedArgument(out, directive, args);
        break;
    case Kind::Unsigned:
        appendUnsignedArgument(out, directive, args);
        break;
    case Kind::Float:
        appendFloatArgument(out, directive, args);
        break;
    case Kind::WideChar:
        // A wchar_t arrives promoted to int; only its UTF-16 unit counts, so
        // both builds print the same.
        appendChar(out, directive, static_cast<wchar_t>(args.nextInt() & 0xFFFF));
        break;
    case Kind::NarrowChar: {
        // One byte is valid UTF-8 only when it is ASCII.
        const auto byte = static_cast<unsigned char>(args.nextInt());
        appendChar(out, directive, static_cast<wchar_t>(byte < 0x80 ? byte : 0xFFFD));
        break;
    }
    case Kind::WideString:
        appendWideString(out, directive, args.nextWideString());
        break;
    case Kind::NarrowString:
        appendNarrowString(out, directive, args.nextNarrowString());
        break;
    case Kind::Pointer:
        appendPointer(out, directive, args.nextPointer());
        break;
    case Kind::Count:
        // Writing through a pointer taken from a format is an exploit
        // primitive; the argument is only stepped over.
        args.nextPointer();
        break;
    case Kind::Invalid:
        break;
    }
}

} // namespace

std::wstring formatWideV(const wchar_t* format, va_list args) {
    std::wstring out;
    if (format == nullptr) {
        return out;
    }
    const std::wstring_view text(format);
    out.reserve(text.size() + 64);
    Arguments arguments(args);
    size_t i = 0;
    while (i < text.size()) {
        const size_t percent = text.find(L'%', i);
        if (percent == std::wstring_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, percent - i));
        i = percent + 1;
        Directive directive;
        const Kind kind = parseDirective(text, i, directive, arguments);
        if (kind == Kind::Invalid) {
            // Past a conversion it does not understand the formatter cannot
            // know which arguments follow, so it reads none of them.
            out.append(text.substr(percent));
            break;
        }
        appendArgument(out, directive, kind, arguments);
    }
    return out;
}

std::wstring formatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    struct End {
        va_list& list;
        ~End() { va_end(list); }
    } end{args};
    return formatWideV(format, args);
}

std::wstring formatWideFixedV(size_t capacity, const wchar_t* format, va_list args) {
    std::wstring text = formatWideV(format, args);
    if (capacity == 0) {
        return {};
    }
    if (text.size() >= capacity) {
        text.resize(capacity - 1);
    }
    return text;
}

} // namespace Strato
