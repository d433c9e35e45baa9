#include "write/buf.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Scratch sizes for one formatted number.
constexpr int INT_SCRATCH = 32;
constexpr int REAL_SCRATCH = 64;
constexpr int WIDE_INT_SCRATCH = 320;

// A number this close to an integer is written as that integer.
constexpr double REAL_INT_EPSILON = 0.000001;

// From 2^52 on every double is an integer, and adding 0.5 may already round.
constexpr double REAL_EXACT_INT = 4503599627370496.0;

// Writes v in decimal so that it ends just before end; returns its first
// character.
char *format_int(char *end, int32_t v)
{
    uint32_t mag = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    char *p = end;
    do {
        *--p = static_cast<char>('0' + mag % 10u);
        mag /= 10u;
    } while (mag != 0);
    if (v < 0)
        *--p = '-';
    return p;
}

// The buffer gives up its bytes after a resize failed, and remembers that
// something is missing.
void buf_lose(out_buf *buf)
{
    std::free(buf->data);
    buf->data = nullptr;
    buf->len = 0;
    buf->cap = 0;
    buf->lost = 1;
}

// The text of x as an integer; only called when x is integral.
unsigned char *buf_integral_real(out_buf *buf, double r)
{
    if (r > -2147483649.0 && r < 2147483648.0) {
        buf_int(buf, static_cast<int32_t>(r));
        return buf->data;
    }
    // Beyond 32 bits nothing real is measured; still write the value
    // itself rather than a wrapped one. The largest double has 309 digits.
    char text[WIDE_INT_SCRATCH];
    int n = std::snprintf(text, sizeof text, "%.0f", r);
    if (n < 0 || n >= WIDE_INT_SCRATCH)
        n = 0;
    return buf_bytes(buf, text, static_cast<uint64_t>(n));
}

}  // namespace

unsigned char *buf_bytes(out_buf *buf, const void *src, uint64_t n)
{
    if (!buf->data) {
        buf->data = static_cast<unsigned char *>(std::malloc(OUT_BUF_FIRST_CAP));
        if (!buf->data) {
            buf->lost = 1;
            return nullptr;
        }
        buf->cap = OUT_BUF_FIRST_CAP;
        buf->len = 0;
        buf->data[0] = 0;
    }
    // need = len + n + 1, the terminator always counted; a count that does
    // not fit in 64 bits can never be satisfied.
    if (n > UINT64_MAX - 1 - buf->len) {
        buf_lose(buf);
        return nullptr;
    }
    uint64_t need = buf->len + n + 1;
    if (need > buf->cap) {
        uint64_t cap = buf->cap;
        while (cap < need) {
            if (cap > UINT64_MAX / 2 || cap * 2 > SIZE_MAX) {
                buf_lose(buf);
                return nullptr;
            }
            cap *= 2;
        }
        void *grown = std::realloc(buf->data, static_cast<size_t>(cap));
        if (!grown) {
            buf_lose(buf);
            return nullptr;
        }
        buf->data = static_cast<unsigned char *>(grown);
        buf->cap = cap;
    }
    if (n > 0)
        std::memcpy(buf->data + buf->len, src, static_cast<size_t>(n));
    buf->len += n;
    buf->data[buf->len] = 0;
    return buf->data;
}

void buf_int(out_buf *buf, int32_t v)
{
    char text[INT_SCRATCH];
    char *end = text + INT_SCRATCH;
    char *start = format_int(end, v);
    buf_bytes(buf, start, static_cast<uint64_t>(end - start));
}

unsigned char *buf_real(out_buf *buf, double x)
{
    // A rectangle with an infinite or undefined corner has no text a reader
    // accepts; 0 keeps the dictionary well formed.
    if (!std::isfinite(x))
        return buf_bytes(buf, "0", 1);
    double half = x + 0.5;
    double r = std::fabs(half) >= REAL_EXACT_INT ? half : std::floor(half);
    if (std::fabs(x - r) < REAL_INT_EPSILON)
        return buf_integral_real(buf, r);
    char text[REAL_SCRATCH];
    int n = std::snprintf(text, sizeof text, "%.4f", x);
    if (n < 0 || n >= REAL_SCRATCH)
        n = 0;
    if (std::memchr(text, '.', static_cast<size_t>(n))) {
        while (n > 0 && text[n - 1] == '0')
            n--;
        if (n > 0 && text[n - 1] == '.')
            n--;
    }
    return buf_bytes(buf, text, static_cast<uint64_t>(n));
}

void buf_release(out_buf *buf)
{
    std::free(buf->data);
    buf->data = nullptr;
    buf->len = 0;
    buf->cap = 0;
}
