// Texts built without exceptions: a printf-style formatter of the program's own, and a
// growable text that remembers a failed allocation, so a report made of many pieces is
// checked once at the end. The shipped programs have neither an exception runtime nor the
// C library's formatter built for the processors they run on; both are here instead.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string_view>

// snprintf of C99 for the conversions d i u o x X c s and %, with the flags - + space # 0, a
// width and a precision (numbers or *) and the sizes hh h l ll j z t. Writes at most `size`
// bytes, the last a zero, and returns the length the whole text has; -1 for any other
// conversion, which a compiler's format check does not always catch. `args` is left as it
// was, so it can be used again.
int format_text_v(char* out, size_t size, const char* format, va_list args);
int format_text(char* out, size_t size, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));

class Text {
public:
    Text() = default;
    explicit Text(const char* text) { add(text); }
    Text(Text&& other) noexcept;
    Text& operator=(Text&& other) noexcept;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text();

    // Each does nothing once the text has failed; a piece that cannot be added fails it.
    Text& add(const char* bytes, size_t count);
    Text& add(const char* text);
    Text& add(const Text& other);
    Text& add_format(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

    // Zero-terminated; empty once failed.
    const char* c_str() const { return failed_ || !bytes_ ? "" : bytes_; }
    size_t size() const { return failed_ ? 0 : size_; }
    char* data() { return failed_ ? nullptr : bytes_; }
    bool failed() const { return failed_; }
    std::string_view view() const { return {c_str(), size()}; }

private:
    bool make_room(size_t more);

    char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;  // bytes held, the closing zero's included
    bool failed_ = false;
};
