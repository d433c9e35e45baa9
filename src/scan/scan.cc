#include "scan/scan.h"

#include <cstring>

namespace {

int32_t min32(int32_t a, int32_t b)
{
    return a < b ? a : b;
}

int32_t kw_len(const char *kw)
{
    return static_cast<int32_t>(std::strlen(kw));
}

// Position of the first byte c in buf[from, limit), or -1.
int32_t find_byte(const unsigned char *buf, int32_t from, int32_t limit, unsigned char c)
{
    if (from >= limit)
        return -1;
    const void *hit = std::memchr(buf + from, c, static_cast<size_t>(limit - from));
    return hit ? static_cast<int32_t>(static_cast<const unsigned char *>(hit) - buf) : -1;
}

// How often a byte turns up in PDF text, roughly: white space, digits and
// the letters of common words and operators are frequent; capitals (other
// than the R of references and the T of text operators) and rare letters
// are not. Only the order matters.
constexpr int byte_commonness(unsigned char c)
{
    if (c == ' ' || c == '\n' || c == '\r' || is_digit(c))
        return 9;
    for (const char *p = "etaoinsrhldcu/R<>[]()T."; *p; p++)
        if (c == static_cast<unsigned char>(*p))
            return 8;
    for (const char *p = "mfpgwybvkJ"; *p; p++)
        if (c == static_cast<unsigned char>(*p))
            return 5;
    return 2;
}

// Index of the pattern's least common byte: the one memchr looks for.
int32_t rare_index(const char *pat, int32_t n)
{
    int32_t best = 0;
    for (int32_t i = 1; i < n; i++)
        if (byte_commonness(static_cast<unsigned char>(pat[i])) <
            byte_commonness(static_cast<unsigned char>(pat[best])))
            best = i;
    return best;
}

// First position p in [from, last] where the n bytes of pat stand, or -1.
// Candidates come from memchr over the pattern's rarest byte, so long runs
// of text cost one library call rather than one comparison per byte.
int32_t find_bytes(const unsigned char *buf, int32_t from, int32_t last, const char *pat, int32_t n)
{
    if (from > last)
        return -1;
    int32_t k = rare_index(pat, n);
    unsigned char rare = static_cast<unsigned char>(pat[k]);
    for (int32_t q = from + k; q <= last + k;) {
        const void *hit = std::memchr(buf + q, rare, static_cast<size_t>(last + k - q + 1));
        if (!hit)
            return -1;
        int32_t p = static_cast<int32_t>(static_cast<const unsigned char *>(hit) - buf) - k;
        if (buf[p] == static_cast<unsigned char>(pat[0]) &&
            std::memcmp(buf + p, pat, static_cast<size_t>(n)) == 0)
            return p;
        q = p + k + 1;
    }
    return -1;
}

// Position just after the first LF or CR in buf[from, limit), or -1: the end
// of a comment.
int32_t skip_comment(const unsigned char *buf, int32_t from, int32_t limit)
{
    for (int32_t i = from; i < limit; i++)
        if (buf[i] == '\n' || buf[i] == '\r')
            return i + 1;
    return -1;
}

}  // namespace

int32_t skip_literal_string(const unsigned char *buf, int32_t open, int32_t limit)
{
    int nest = 1;
    for (int32_t i = open + 1; i < limit; i++) {
        unsigned char c = buf[i];
        if (c == '\\') {
            // A backslash in the last byte escapes nothing; stepping over
            // the limit could leave no room for the loop's own step.
            if (i >= limit - 1)
                break;
            i++;
        } else if (c == '(') {
            nest++;
        } else if (c == ')') {
            if (--nest == 0)
                return i + 1;
        }
    }
    return -1;
}

namespace {

// One step over the constructs that can hide delimiters: a hex string, a
// literal string or a comment starting at i. Returns the position after it,
// -1 when it runs to the limit, or i itself when no such construct starts at
// i. "<<" and ">>" are left to the caller.
int32_t skip_opaque(const unsigned char *buf, int32_t i, int32_t limit)
{
    switch (buf[i]) {
    case '<':
        if (i + 1 >= limit)
            return -1;
        if (buf[i + 1] == '<')
            return i;
        {
            int32_t close = find_byte(buf, i + 1, limit, '>');
            return close < 0 ? -1 : close + 1;
        }
    case '(':
        if (i + 1 >= limit)
            return -1;
        return skip_literal_string(buf, i, limit);
    case '%':
        return skip_comment(buf, i + 1, limit);
    default:
        return i;
    }
}

}  // namespace

int kw_at(const unsigned char *buf, int32_t pos, int32_t end, const char *kw)
{
    if (pos < 0)
        return 0;
    int32_t n = kw_len(kw);
    if (static_cast<int64_t>(pos) + n > end)
        return 0;
    if (std::memcmp(buf + pos, kw, static_cast<size_t>(n)) != 0)
        return 0;
    if (pos + n == end)
        return 1;
    return !is_name_char(buf[pos + n]);
}

int32_t find_kw(const unsigned char *buf, int32_t end, int32_t start, const char *kw)
{
    int32_t n = kw_len(kw);
    if (n == 0 || start < 0)
        return -1;
    int32_t last = end - n;  // last position the keyword fits at
    for (int32_t p = find_bytes(buf, start, last, kw, n); p >= 0;
         p = find_bytes(buf, p + 1, last, kw, n)) {
        if (p > 0 && is_name_char(buf[p - 1]))
            continue;
        if (p + n == end || !is_name_char(buf[p + n]))
            return p;
    }
    return -1;
}

int32_t find_name(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                  const char *name)
{
    int32_t limit = min32(len, end);
    int32_t n = kw_len(name);
    if (start < 0 || static_cast<int64_t>(start) + n + 1 > limit)
        return -1;
    int32_t last = limit - n - 1;  // last position the slash can stand at
    for (int32_t p = find_bytes(buf, start + 1, last + 1, name, n); p >= 0;
         p = find_bytes(buf, p + 1, last + 1, name, n)) {
        if (buf[p - 1] != '/')
            continue;
        if (p + n == limit || !is_name_char(buf[p + n]))
            return p - 1;
    }
    return -1;
}

int32_t find_dict_close(const unsigned char *buf, int32_t len, int32_t start, int32_t end)
{
    int32_t limit = min32(len, end);
    if (start < 0 || start >= limit)
        return -1;
    int depth = 0;
    int32_t i = start;
    while (i < limit) {
        unsigned char c = buf[i];
        if (c == '<' || c == '(' || c == '%') {
            int32_t next = skip_opaque(buf, i, limit);
            if (next < 0)
                return -1;
            if (next == i) {  // "<<"
                depth++;
                i += 2;
            } else {
                i = next;
            }
        } else if (c == '>') {
            if (i + 1 >= limit)
                return -1;
            if (buf[i + 1] == '>') {
                if (--depth == 0)
                    return i;
                i += 2;
            } else {
                i++;
            }
        } else {
            i++;
        }
    }
    return -1;
}

namespace {

// The first /name key standing directly in a dictionary of buf[start, end):
// at depth 1 when exact, else at depth 0 or 1. Depth counts "<<" and ">>"
// only; strings, hex strings and comments are stepped over.
int32_t find_key_walk(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                      const char *name, bool exact)
{
    int32_t limit = min32(len, end);
    int32_t n = kw_len(name);
    if (start < 0 || start >= limit)
        return -1;
    int depth = 0;
    int32_t i = start;
    while (i < limit) {
        unsigned char c = buf[i];
        if (c == '<' || c == '(' || c == '%') {
            int32_t next = skip_opaque(buf, i, limit);
            if (next < 0)
                return -1;
            if (next == i) {  // "<<"
                depth++;
                i += 2;
            } else {
                i = next;
            }
        } else if (c == '>') {
            if (i + 1 >= limit)
                return -1;
            if (buf[i + 1] == '>') {
                if (depth > 0)
                    depth--;
                i += 2;
            } else {
                i++;
            }
        } else if (c == '/' && (exact ? depth == 1 : depth <= 1) &&
                   static_cast<int64_t>(i) + 1 + n <= limit &&
                   std::memcmp(buf + i + 1, name, static_cast<size_t>(n)) == 0 &&
                   (i + 1 + n == limit || !is_name_char(buf[i + 1 + n]))) {
            return i;
        } else {
            i++;
        }
    }
    return -1;
}

}  // namespace

int32_t find_key_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name)
{
    return find_key_walk(buf, len, start, end, name, false);
}

int32_t find_key_own(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name)
{
    return find_key_walk(buf, len, start, end, name, true);
}

int32_t skip_array(const unsigned char *buf, int32_t open, int32_t limit)
{
    int depth = 0;
    int32_t i = open;
    while (i < limit) {
        unsigned char c = buf[i];
        if (c == '(' || c == '%' || (c == '<' && i + 1 < limit && buf[i + 1] != '<')) {
            int32_t next = skip_opaque(buf, i, limit);
            if (next < 0)
                return -1;
            i = next;
            continue;
        }
        if (c == '[') {
            depth++;
        } else if (c == ']' && --depth == 0) {
            return i + 1;
        }
        i++;
    }
    return -1;
}

int32_t ref_at(const unsigned char *text, int32_t length, int32_t pos, int32_t *num,
               int32_t *digits_end)
{
    int32_t cur = pos;
    *num = parse_int_at(text, length, &cur);
    *digits_end = cur;
    if (cur >= length)
        return -1;
    int32_t gap = skip_pdf_space(text, cur, length);
    if (gap == cur || gap >= length || !is_digit(text[gap]))
        return -1;
    cur = gap;
    parse_int_at(text, length, &cur);
    if (cur >= length)
        return -1;
    int32_t r = skip_pdf_space(text, cur, length);
    if (r == cur || r >= length || text[r] != 'R')
        return -1;
    if (r + 1 < length && !is_ref_delim(text[r + 1]))
        return -1;
    return r + 1;
}

int32_t find_name_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end)
{
    return find_key_top(buf, len, start, end, "Type");
}

int32_t parse_int_at(const unsigned char *buf, int32_t end, int32_t *cursor)
{
    int32_t p = *cursor;
    if (p < 0 || p >= end)
        return -1;
    p = skip_pdf_space(buf, p, end);
    if (p >= end)
        return -1;
    bool negative = false;
    if (buf[p] == '+' || buf[p] == '-') {
        negative = buf[p] == '-';
        if (++p >= end)
            return -1;
    }
    if (!is_digit(buf[p]))
        return -1;
    // PDF integers are read in wrapping 32-bit arithmetic; callers treat
    // negative results of counts and offsets as failures.
    uint32_t v = 0;
    while (p < end && is_digit(buf[p]))
        v = v * 10u + static_cast<uint32_t>(buf[p++] - '0');
    *cursor = p;
    return static_cast<int32_t>(negative ? 0u - v : v);
}

namespace {

// Reads one decimal number (optional sign, digits, optional fraction) at
// *p. Returns false when no digit stands there. *p is left where the
// reading stopped, either way.
bool parse_real_at(const unsigned char *buf, int32_t end, int32_t *p, double *out)
{
    int32_t i = skip_pdf_space(buf, *p, end);
    if (i >= end)
        return false;
    double sign = 1.0;
    if (buf[i] == '+' || buf[i] == '-') {
        sign = buf[i] == '-' ? -1.0 : 1.0;
        i++;
    }
    double v = 0.0;
    int digits = 0;
    while (i < end && is_digit(buf[i])) {
        v = v * 10.0 + (buf[i++] - '0');
        digits++;
    }
    if (i < end && buf[i] == '.') {
        i++;
        double weight = 0.1;
        while (i < end && is_digit(buf[i])) {
            v += (buf[i++] - '0') * weight;
            weight *= 0.1;
            digits++;
        }
    }
    *p = i;
    if (digits == 0)
        return false;
    *out = v * sign;
    return true;
}

}  // namespace

int parse_box_after(const unsigned char *buf, int32_t end, int32_t after, double out[4],
                    int32_t *stop)
{
    int32_t p = skip_pdf_space(buf, after, end);
    int ok = p < end && buf[p] == '[';
    if (ok) {
        p++;
        for (int k = 0; k < 4 && ok; k++)
            ok = parse_real_at(buf, end, &p, &out[k]);
    }
    if (stop)
        *stop = p;
    return ok;
}

int parse_box(const unsigned char *buf, int32_t end, int32_t start, const char *name,
              double out[4])
{
    int32_t pos = find_name(buf, end, start, end, name);
    if (pos < 0)
        return 0;
    return parse_box_after(buf, end, pos + 1 + kw_len(name), out);
}
