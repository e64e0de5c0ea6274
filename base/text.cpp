// The program's formatter and growable text; see text.h.
#include "base/text.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

// Writes what fits and counts everything, as snprintf does.
struct Sink {
    char* out;
    size_t size;
    size_t length = 0;

    void put(char c)
    {
        if (length + 1 < size)
            out[length] = c;
        length++;
    }
    void put(const char* text, size_t count)
    {
        for (size_t i = 0; i < count; i++)
            put(text[i]);
    }
    void pad(char c, long count)
    {
        for (long i = 0; i < count; i++)
            put(c);
    }
    void close()
    {
        if (size > 0)
            out[length < size ? length : size - 1] = '\0';
    }
};

struct Directive {
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    long width = 0;
    long precision = -1;  // none
};

enum Size {
    SIZE_INT,
    SIZE_CHAR,
    SIZE_SHORT,
    SIZE_LONG,
    SIZE_LLONG,
    SIZE_MAX_T,
    SIZE_SIZE,
    SIZE_PTRDIFF,
};

long read_number(const char*& p)
{
    long n = 0;
    while (*p >= '0' && *p <= '9') {
        if (n < INT_MAX / 10)
            n = n * 10 + (*p - '0');
        p++;
    }
    return n;
}

unsigned long long signed_argument(Size size, va_list& args, bool* negative)
{
    long long v;
    switch (size) {
    case SIZE_CHAR: v = (signed char)va_arg(args, int); break;
    case SIZE_SHORT: v = (short)va_arg(args, int); break;
    case SIZE_LONG: v = va_arg(args, long); break;
    case SIZE_LLONG: v = va_arg(args, long long); break;
    case SIZE_MAX_T: v = va_arg(args, intmax_t); break;
    case SIZE_SIZE:
    case SIZE_PTRDIFF: v = va_arg(args, ptrdiff_t); break;
    default: v = va_arg(args, int); break;
    }
    *negative = v < 0;
    // Through unsigned, so the most negative value keeps its magnitude.
    return v < 0 ? 0ull - (unsigned long long)v : (unsigned long long)v;
}

unsigned long long unsigned_argument(Size size, va_list& args)
{
    switch (size) {
    case SIZE_CHAR: return (unsigned char)va_arg(args, unsigned);
    case SIZE_SHORT: return (unsigned short)va_arg(args, unsigned);
    case SIZE_LONG: return va_arg(args, unsigned long);
    case SIZE_LLONG: return va_arg(args, unsigned long long);
    case SIZE_MAX_T: return va_arg(args, uintmax_t);
    case SIZE_SIZE:
    case SIZE_PTRDIFF: return va_arg(args, size_t);
    default: return va_arg(args, unsigned);
    }
}

void put_integer(Sink& sink, const Directive& directive, char conversion, unsigned long long value,
                 bool negative)
{
    unsigned base = conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X') ? 16 : 10;
    const char* digit_chars = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];  // 22 octal digits hold 64 bits
    long count = 0;
    for (unsigned long long v = value; v != 0; v /= base)
        digits[count++] = digit_chars[v % base];
    long precision = directive.precision < 0 ? 1 : directive.precision;
    long zeros = precision > count ? precision - count : 0;
    // '#' with 'o': a leading zero, however many digits.
    if (conversion == 'o' && directive.alternate && zeros == 0)
        zeros = 1;
    char prefix[2];
    long prefix_length = 0;
    if (conversion == 'd' || conversion == 'i') {
        if (negative)
            prefix[prefix_length++] = '-';
        else if (directive.plus)
            prefix[prefix_length++] = '+';
        else if (directive.space)
            prefix[prefix_length++] = ' ';
    } else if (base == 16 && directive.alternate && value != 0) {
        prefix[prefix_length++] = '0';
        prefix[prefix_length++] = conversion;
    }
    long length = prefix_length + zeros + count;
    long fill = directive.width > length ? directive.width - length : 0;
    if (!directive.left && !(directive.zero && directive.precision < 0))
        sink.pad(' ', fill);
    sink.put(prefix, (size_t)prefix_length);
    if (!directive.left && directive.zero && directive.precision < 0)
        sink.pad('0', fill);
    sink.pad('0', zeros);
    while (count > 0)
        sink.put(digits[--count]);
    if (directive.left)
        sink.pad(' ', fill);
}

void put_text(Sink& sink, const Directive& directive, const char* text, size_t length)
{
    long fill = directive.width > (long)length ? directive.width - (long)length : 0;
    if (!directive.left)
        sink.pad(' ', fill);
    sink.put(text, length);
    if (directive.left)
        sink.pad(' ', fill);
}

}  // namespace

int format_text_v(char* out, size_t size, const char* format, va_list args_in)
{
    va_list args;
    va_copy(args, args_in);
    Sink sink{out, size};
    bool ok = true;
    for (const char* p = format; ok && *p; p++) {
        if (*p != '%') {
            sink.put(*p);
            continue;
        }
        Directive directive;
        for (;; p++) {
            char f = p[1];
            if (f == '-') directive.left = true;
            else if (f == '+') directive.plus = true;
            else if (f == ' ') directive.space = true;
            else if (f == '#') directive.alternate = true;
            else if (f == '0') directive.zero = true;
            else break;
        }
        p++;
        if (*p == '*') {
            int w = va_arg(args, int);
            // A negative width is a left-justified one.
            directive.left = directive.left || w < 0;
            directive.width = w >= 0 ? w : w == INT_MIN ? INT_MAX : -w;
            p++;
        } else {
            directive.width = read_number(p);
        }
        if (*p == '.') {
            p++;
            if (*p == '*') {
                int precision = va_arg(args, int);
                directive.precision = precision < 0 ? -1 : precision;
                p++;
            } else {
                directive.precision = read_number(p);
            }
        }
        Size size_modifier = SIZE_INT;
        if (p[0] == 'h' && p[1] == 'h') size_modifier = SIZE_CHAR, p += 2;
        else if (p[0] == 'h') size_modifier = SIZE_SHORT, p++;
        else if (p[0] == 'l' && p[1] == 'l') size_modifier = SIZE_LLONG, p += 2;
        else if (p[0] == 'l') size_modifier = SIZE_LONG, p++;
        else if (p[0] == 'j') size_modifier = SIZE_MAX_T, p++;
        else if (p[0] == 'z') size_modifier = SIZE_SIZE, p++;
        else if (p[0] == 't') size_modifier = SIZE_PTRDIFF, p++;
        switch (*p) {
        case 'd':
        case 'i': {
            bool negative = false;
            unsigned long long magnitude = signed_argument(size_modifier, args, &negative);
            put_integer(sink, directive, *p, magnitude, negative);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            put_integer(sink, directive, *p, unsigned_argument(size_modifier, args), false);
            break;
        case 'c': {
            char c = (char)(unsigned char)va_arg(args, int);
            ok = size_modifier == SIZE_INT;
            put_text(sink, directive, &c, 1);
            break;
        }
        case 's': {
            const char* text = va_arg(args, const char*);
            ok = size_modifier == SIZE_INT;
            if (!text)
                text = "(null)";
            size_t length = directive.precision < 0 ? strlen(text)
                                               : strnlen(text, (size_t)directive.precision);
            put_text(sink, directive, text, length);
            break;
        }
        case '%':
            sink.put('%');
            break;
        default:
            ok = false;
            break;
        }
    }
    va_end(args);
    sink.close();
    if (!ok || sink.length > INT_MAX)
        return -1;
    return (int)sink.length;
}

int format_text(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = format_text_v(out, size, format, args);
    va_end(args);
    return n;
}

Text::Text(Text&& other) noexcept
    : bytes_(other.bytes_), size_(other.size_), capacity_(other.capacity_),
      failed_(other.failed_)
{
    other.bytes_ = nullptr;
    other.size_ = other.capacity_ = 0;
    other.failed_ = false;
}

Text& Text::operator=(Text&& other) noexcept
{
    if (this != &other) {
        delete[] bytes_;
        bytes_ = other.bytes_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        failed_ = other.failed_;
        other.bytes_ = nullptr;
        other.size_ = other.capacity_ = 0;
        other.failed_ = false;
    }
    return *this;
}

Text::~Text()
{
    delete[] bytes_;
}

bool Text::make_room(size_t more)
{
    if (failed_)
        return false;
    if (more > SIZE_MAX - 1 - size_) {
        failed_ = true;
        return false;
    }
    size_t need = size_ + more + 1;
    if (need <= capacity_)
        return true;
    size_t grown = capacity_ > SIZE_MAX / 2 ? need : capacity_ * 2;
    size_t capacity = grown > need ? grown : need;
    if (capacity < 32)
        capacity = 32;
    char* bytes = new (std::nothrow) char[capacity];
    if (!bytes) {
        failed_ = true;
        return false;
    }
    if (bytes_)
        memcpy(bytes, bytes_, size_ + 1);
    delete[] bytes_;
    bytes_ = bytes;
    capacity_ = capacity;
    return true;
}

Text& Text::add(const char* bytes, size_t count)
{
    // A piece of this text itself moves with it when it grows.
    bool own = bytes_ && bytes >= bytes_ && bytes < bytes_ + capacity_;
    size_t offset = own ? (size_t)(bytes - bytes_) : 0;
    if (!make_room(count))
        return *this;
    memcpy(bytes_ + size_, own ? bytes_ + offset : bytes, count);
    size_ += count;
    bytes_[size_] = '\0';
    return *this;
}

Text& Text::add(const char* text)
{
    return add(text, strlen(text));
}

Text& Text::add(const Text& other)
{
    if (other.failed_)
        failed_ = true;
    return add(other.c_str(), other.size());
}

Text& Text::add_format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = format_text_v(nullptr, 0, format, args);
    va_end(args);
    if (n < 0)
        failed_ = true;
    if (!make_room(n < 0 ? 0 : (size_t)n))
        return *this;
    va_start(args, format);
    format_text_v(bytes_ + size_, (size_t)n + 1, format, args);
    va_end(args);
    size_ += (size_t)n;
    return *this;
}
