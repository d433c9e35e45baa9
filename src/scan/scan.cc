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

}  // namespace

// ---- Constructs ------------------------------------------------------------

int32_t skip_comment(const unsigned char *buf, int32_t open, int32_t limit)
{
    for (int32_t i = open + 1; i < limit; i++)
        if (buf[i] == '\n' || buf[i] == '\r')
            return i + 1;
    return -1;
}

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

int32_t skip_hex_string(const unsigned char *buf, int32_t open, int32_t limit)
{
    int32_t close = find_byte(buf, open + 1, limit, '>');
    return close < 0 ? -1 : close + 1;
}

namespace {

// Writes byte c as the n-th decoded byte when it fits, and counts it.
inline void decoded_put(unsigned char *out, int32_t out_cap, int32_t *n, unsigned char c)
{
    if (*n < out_cap)
        out[*n] = c;
    (*n)++;
}

bool is_octal(unsigned char c)
{
    return c >= '0' && c <= '7';
}

// The byte an escape letter stands for, or the letter itself.
unsigned char escaped_byte(unsigned char c)
{
    switch (c) {
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    default:
        return c;
    }
}

// The value of a hex digit, or -1.
int hex_value(unsigned char c)
{
    if (is_digit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

int32_t decode_literal_string(const unsigned char *buf, int32_t open, int32_t limit,
                              unsigned char *out, int32_t out_cap, int32_t *out_len)
{
    *out_len = 0;
    int32_t after = skip_literal_string(buf, open, limit);
    if (after < 0)
        return -1;
    // The text between the parentheses; its last byte is never a lone
    // backslash, which would have escaped the closing one.
    int32_t end = after - 1;
    int32_t n = 0;
    for (int32_t i = open + 1; i < end;) {
        unsigned char c = buf[i++];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i < end && buf[i] == '\n')
                i++;
            decoded_put(out, out_cap, &n, '\n');
            continue;
        }
        if (c != '\\' || i >= end) {
            decoded_put(out, out_cap, &n, c);
            continue;
        }
        c = buf[i++];
        if (is_octal(c)) {
            unsigned v = c - '0';
            for (int k = 0; k < 2 && i < end && is_octal(buf[i]); k++)
                v = v * 8 + (buf[i++] - '0');
            decoded_put(out, out_cap, &n, static_cast<unsigned char>(v));
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i < end && buf[i] == '\n')
                i++;
        } else {
            decoded_put(out, out_cap, &n, escaped_byte(c));
        }
    }
    *out_len = n;
    return after;
}

int32_t decode_hex_string(const unsigned char *buf, int32_t open, int32_t limit,
                          unsigned char *out, int32_t out_cap, int32_t *out_len)
{
    *out_len = 0;
    int32_t after = skip_hex_string(buf, open, limit);
    if (after < 0)
        return -1;
    int32_t n = 0;
    int high = -1;
    for (int32_t i = open + 1; i < after - 1; i++) {
        int v = hex_value(buf[i]);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            decoded_put(out, out_cap, &n, static_cast<unsigned char>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0)
        decoded_put(out, out_cap, &n, static_cast<unsigned char>(high * 16));
    *out_len = n;
    return after;
}

namespace {

// A step over a construct whose reader gave end (-1: it ran to the limit).
lex_step lex_over(lex_kind kind, int32_t end, int32_t limit)
{
    return end < 0 ? lex_step{LEX_END, limit} : lex_step{kind, end};
}

}  // namespace

lex_step lex_construct(const unsigned char *buf, int32_t pos, int32_t limit)
{
    switch (buf[pos]) {
    case '%':
        return lex_over(LEX_COMMENT, skip_comment(buf, pos, limit), limit);
    case '(':
        return lex_over(LEX_STRING, skip_literal_string(buf, pos, limit), limit);
    case '<':
        if (pos + 1 < limit && buf[pos + 1] == '<')
            return {LEX_DICT_OPEN, pos + 2};
        return lex_over(LEX_HEX_STRING, skip_hex_string(buf, pos, limit), limit);
    default:  // '>'
        if (pos + 1 >= limit)
            return {LEX_END, limit};
        if (buf[pos + 1] == '>')
            return {LEX_DICT_CLOSE, pos + 2};
        return {LEX_BYTE, pos + 1};
    }
}

namespace {

// 1 when the n bytes of name stand at pos and end at the limit or before a
// byte that is not a name character.
bool name_at(const unsigned char *buf, int32_t pos, int32_t limit, const char *name, int32_t n)
{
    return static_cast<int64_t>(pos) + n <= limit &&
           std::memcmp(buf + pos, name, static_cast<size_t>(n)) == 0 &&
           (pos + n == limit || !is_name_char(buf[pos + n]));
}

// What a depth walk looks for.
enum walk_goal {
    GOAL_CLOSE,    // the ">>" that brings the depth from 1 to 0; the depth may
                   // go below 0, and a walk started inside a dictionary finds
                   // nothing
    GOAL_KEY_TOP,  // a /name at depth 0 or 1; ">>" never takes the depth below 0
    GOAL_KEY_OWN,  // a /name at depth exactly 1
};

// The depth walk over buf[start, limit): "<<" and ">>" of the walk count,
// strings, hex strings and comments are stepped over. Returns the position
// of what goal names (the ">>", or the key's '/'), or -1.
inline int32_t depth_walk(const unsigned char *buf, int32_t start, int32_t limit,
                          walk_goal goal, const char *name)
{
    if (start < 0 || start >= limit)
        return -1;
    int32_t n = name ? kw_len(name) : 0;
    int depth = 0;
    for (int32_t i = start; i < limit;) {
        lex_step s = lex_next(buf, i, limit);
        if (s.kind == LEX_END)
            return -1;
        if (s.kind == LEX_DICT_OPEN) {
            depth++;
        } else if (s.kind == LEX_DICT_CLOSE) {
            if (goal == GOAL_CLOSE && --depth == 0)
                return i;
            if (goal != GOAL_CLOSE && depth > 0)
                depth--;
        } else if (goal != GOAL_CLOSE && s.kind == LEX_BYTE && buf[i] == '/' &&
                   (depth == 1 || (depth == 0 && goal == GOAL_KEY_TOP)) &&
                   name_at(buf, i + 1, limit, name, n)) {
            return i;
        }
        i = s.next;
    }
    return -1;
}

}  // namespace

comment_walk comment_walk_begin(int32_t start, int32_t limit)
{
    return comment_walk{start, limit, false, 0};
}

int32_t comment_holding(const unsigned char *buf, comment_walk *w, int32_t target)
{
    // A target behind the walk lies in the construct it stepped over last,
    // the one that held an earlier target.
    if (target < w->pos)
        return w->in_comment ? w->pos : -1;
    int32_t p = target;
    while (p > w->pos && buf[p - 1] != '%' && buf[p - 1] != '\n' && buf[p - 1] != '\r')
        p--;
    w->examined += target - p;
    if (p == w->pos || buf[p - 1] != '%')
        return -1;
    // A '%' stands on the line, perhaps inside a string: only a walk from a
    // place outside every construct tells.
    while (w->pos <= target) {
        int32_t from = w->pos;
        lex_step s = lex_next(buf, from, w->limit);
        w->examined += s.next - from;
        w->pos = s.next;
        w->in_comment = buf[from] == '%';
        if (s.next > target)
            return w->in_comment ? s.next : -1;
    }
    return -1;
}

int32_t find_dict_close(const unsigned char *buf, int32_t len, int32_t start, int32_t end)
{
    return depth_walk(buf, start, min32(len, end), GOAL_CLOSE, nullptr);
}

int32_t skip_array(const unsigned char *buf, int32_t open, int32_t limit)
{
    int depth = 0;
    int dicts = 0;  // dictionaries open inside the array
    for (int32_t i = open; i < limit;) {
        lex_step s = lex_next(buf, i, limit);
        if (s.kind == LEX_END)
            return -1;
        if (s.kind == LEX_DICT_OPEN) {
            dicts++;
        } else if (s.kind == LEX_DICT_CLOSE) {
            if (dicts > 0)
                dicts--;
        } else if (s.kind == LEX_BYTE && dicts == 0) {
            if (buf[i] == '[')
                depth++;
            else if (buf[i] == ']' && --depth == 0)
                return i + 1;
        }
        i = s.next;
    }
    return -1;
}

int32_t skip_token(const unsigned char *buf, int32_t pos, int32_t end)
{
    while (pos < end && !is_token_delim(buf[pos]))
        pos++;
    return pos;
}

int32_t int_after(const unsigned char *buf, int32_t after, int32_t space_bound, int32_t end,
                  int64_t *allowance)
{
    int32_t c = skip_space_comments(buf, after, space_bound, SPACE_PDF, allowance);
    return parse_int_at(buf, end, &c);
}

namespace {

// ref_at, inline for the reference scan, which tries it at every number.
inline int32_t ref_read(const unsigned char *buf, int32_t pos, int32_t limit, const ref_rule &rule,
                        ref_parts *parts)
{
    int32_t cur = pos;
    parts->num = parse_int_at(buf, limit, &cur);
    parts->num_end = cur;
    parts->stop = cur;
    if (cur == pos)
        return -1;
    // N's digits run to a byte that is no digit, so a generation needs the
    // white space before it.
    int32_t p = skip_pdf_space(buf, cur, limit);
    if (p < limit && is_digit(buf[p])) {
        parse_int_at(buf, limit, &p);
        cur = p;
        p = skip_pdf_space(buf, p, limit);
    } else if (!rule.gen_optional) {
        parts->stop = p;
        return -1;
    }
    parts->stop = p;
    if (p >= limit || buf[p] != 'R')
        return -1;
    if (rule.space_before_r && p == cur)
        return -1;
    if (rule.may_follow && p + 1 < limit && !rule.may_follow(buf[p + 1]))
        return -1;
    return p + 1;
}

}  // namespace

int32_t ref_at(const unsigned char *buf, int32_t pos, int32_t limit, const ref_rule &rule,
               ref_parts *parts)
{
    return ref_read(buf, pos, limit, rule, parts);
}

int find_ref(const unsigned char *text, int32_t length, int32_t *pos, int32_t *num)
{
    for (int32_t i = *pos; i < length;) {
        lex_step s = lex_next(text, i, length);
        if (s.kind == LEX_END)
            break;
        if (s.kind == LEX_BYTE && is_digit(text[i])) {
            ref_parts parts;
            int32_t after = ref_read(text, i, length, REF_SCANNED, &parts);
            if (after >= 0) {
                *pos = after;
                *num = parts.num;
                return 1;
            }
            s.next = parts.num_end;  // the next try starts after N's digits
        }
        i = s.next;
    }
    *pos = length;
    return 0;
}

namespace {

// The decimal value of buf[from, to], accumulated in 32-bit wrapping
// arithmetic like every integer read from PDF text.
int32_t digits_value(const unsigned char *buf, int32_t from, int32_t to)
{
    uint32_t v = 0;
    for (int32_t i = from; i <= to; i++)
        v = v * 10u + static_cast<uint32_t>(buf[i] - '0');
    return static_cast<int32_t>(v);
}

// True when the five bytes ending at p are the end-of-file marker "%%EOF".
// Some producers append an incremental update right after it, so the
// update's first header reads "%%EOF4 0 obj": inside a comment, strictly,
// but every reader that follows the cross-reference table finds the object
// there.
bool eof_marker_ends_at(const unsigned char *buf, int32_t p)
{
    return p >= 4 && std::memcmp(buf + p - 4, "%%EOF", 5) == 0;
}

}  // namespace

int32_t obj_header_before(const unsigned char *buf, int32_t q, int32_t *num_start, int32_t *gen)
{
    int32_t p = q - 1;
    int32_t mark = p;
    while (p >= 0 && is_c_space(buf[p]))
        p--;
    if (p == mark)
        return 0;
    mark = p;
    while (p >= 0 && is_digit(buf[p]))
        p--;
    if (p == mark || p < 0)  // no generation, or no room for an object number
        return 0;
    int32_t gen_first = p + 1, gen_last = mark;
    mark = p;
    while (p >= 0 && is_c_space(buf[p]))
        p--;
    if (p == mark || p < 0)
        return 0;
    mark = p;
    while (p >= 0 && is_digit(buf[p]))
        p--;
    if (p == mark)
        return 0;
    if (p >= 0 && is_alnum(buf[p]) && !eof_marker_ends_at(buf, p))
        return 0;
    *num_start = p + 1;
    *gen = digits_value(buf, gen_first, gen_last);
    return digits_value(buf, p + 1, mark);
}

int32_t obj_header_skip(const unsigned char *buf, int32_t pos, int32_t limit, space_set set)
{
    int32_t cur = pos;
    parse_int_at(buf, limit, &cur);
    cur = skip_space(buf, cur, limit, set);
    if (cur < limit && is_digit(buf[cur]))
        parse_int_at(buf, limit, &cur);
    cur = skip_space(buf, cur, limit, set);
    return cur > limit - 3 ? limit : cur + 3;
}

// ---- Searches --------------------------------------------------------------

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

int32_t find_names(const unsigned char *buf, int32_t start, int32_t end,
                   const char *const *names, int count, unsigned wanted, int32_t *pos)
{
    int32_t s = start;
    while (wanted != 0 && s < end) {
        s = find_byte(buf, s, end, '/');
        if (s < 0)
            return -1;
        for (int k = 0; k < count; k++)
            if ((wanted & (1u << k)) && name_at(buf, s + 1, end, names[k], kw_len(names[k]))) {
                pos[k] = s;
                wanted &= ~(1u << k);
            }
        s++;
    }
    return wanted != 0 ? -1 : s;
}

int32_t find_key_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name)
{
    return depth_walk(buf, start, min32(len, end), GOAL_KEY_TOP, name);
}

int32_t find_key_own(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name)
{
    return depth_walk(buf, start, min32(len, end), GOAL_KEY_OWN, name);
}

int32_t find_name_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end)
{
    return find_key_top(buf, len, start, end, "Type");
}

// ---- Numbers ---------------------------------------------------------------

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
// *p, after white space and comments. Returns false when no digit stands there. *p is left where the
// reading stopped, either way.
bool parse_real_at(const unsigned char *buf, int32_t end, int32_t *p, double *out)
{
    int32_t i = skip_space_comments(buf, *p, end);
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
    int32_t p = skip_space_comments(buf, after, end);
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
