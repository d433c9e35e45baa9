// Byte-level reading of PDF text: every piece of PDF syntax the library
// reads is read here. Nothing tokenizes a whole file: each function answers
// one question about a byte range (where does this string, dictionary or
// reference end, where is this keyword, what integer stands here) in a
// single forward pass, reads nothing at or beyond its limit and allocates
// nothing. Where callers accept one construct by different rules, the rule
// is a parameter: a white-space set, an array rule, a reference rule.
// Positions are signed 32-bit; -1 means "not found".
#ifndef ROREZIDE_SCAN_SCAN_H
#define ROREZIDE_SCAN_SCAN_H

#include <cstdint>

// Character sets. Bytes from 128 up belong to none of them.

// NUL, TAB, LF, FF, CR, SPACE: the white space PDF itself defines.
inline bool is_pdf_space(unsigned char c)
{
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

// TAB, LF, CR, SPACE: what may stand between stream data and "endstream".
inline bool is_gap_space(unsigned char c)
{
    return c == 9 || c == 10 || c == 13 || c == 32;
}

// TAB, LF, VT, FF, CR, SPACE: the C library's white space.
inline bool is_c_space(unsigned char c)
{
    return (c >= 9 && c <= 13) || c == 32;
}

// '0' to '9'.
inline bool is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// An ASCII letter or digit.
inline bool is_alnum(unsigned char c)
{
    return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Letters, digits, '-', '.', '_': everything else delimits a keyword or name.
inline bool is_name_char(unsigned char c)
{
    return is_alnum(c) || c == '-' || c == '.' || c == '_';
}

// Where a key or a bare value ends in a page dictionary.
inline bool is_token_delim(unsigned char c)
{
    return is_c_space(c) || c == '%' || c == '(' || c == '/' || c == '<' ||
           c == '>' || c == '[';
}

// What may follow the R of a reference found by the reference scanner.
inline bool is_ref_delim(unsigned char c)
{
    return is_token_delim(c) || c == ']';
}

// What may follow the R of a reference value in a page dictionary: a
// comment may start right after it ("4 0 R% note").
inline bool is_ref_end(unsigned char c)
{
    return is_c_space(c) || c == '/' || c == '>' || c == ']' || c == '%';
}

// Anything but a letter or digit: what may follow the R of an indirect
// /Length.
inline bool is_not_alnum(unsigned char c)
{
    return !is_alnum(c);
}

// ---- White space -----------------------------------------------------------

// The white-space sets a skip can pass over.
enum space_set {
    SPACE_PDF,      // is_pdf_space: every forward skip unless another is named
    SPACE_C,        // is_c_space: between the parts of an object header
    SPACE_GAP,      // is_gap_space: between stream data and "endstream"
    SPACE_CONTROL,  // any byte up to 32: between the entries of a page
                    // dictionary being rewritten
};

// Whether c belongs to the set.
inline bool is_space_in(unsigned char c, space_set set)
{
    switch (set) {
    case SPACE_PDF:
        return is_pdf_space(c);
    case SPACE_C:
        return is_c_space(c);
    case SPACE_GAP:
        return is_gap_space(c);
    default:
        return c <= 32;
    }
}

// Advances pos over bytes of the set, staying below bound; returns the first
// other position, or bound.
inline int32_t skip_space(const unsigned char *buf, int32_t pos, int32_t bound, space_set set)
{
    while (pos < bound && is_space_in(buf[pos], set))
        pos++;
    return pos;
}

// skip_space over PDF white space.
inline int32_t skip_pdf_space(const unsigned char *buf, int32_t pos, int32_t bound)
{
    return skip_space(buf, pos, bound, SPACE_PDF);
}

// A comment: '%' through the first LF or CR. Returns the position after
// the line end, or -1 when the comment runs to limit.
int32_t skip_comment(const unsigned char *buf, int32_t open, int32_t limit);

// The white space between the tokens of an object: bytes of the set and
// comments, each comment from its '%' through its line end, as PDF reads a
// comment as one white-space byte. A comment that runs to bound ends the
// skip there. Used wherever a reader steps from one token of an object to
// the next (after "obj", between a key and its value, between array
// entries, before "stream"); the parts of "N G R" and "N G obj" stay
// separated by plain white space. Readers that may come back to the same
// bytes from many starts (a comment can hold a thousand keys or headers)
// pass an allowance: comments are then stepped over only while it is above
// 0, and their bytes are taken from it.
inline int32_t skip_space_comments(const unsigned char *buf, int32_t pos, int32_t bound,
                                   space_set set = SPACE_PDF, int64_t *allowance = nullptr)
{
    for (;;) {
        pos = skip_space(buf, pos, bound, set);
        if (pos >= bound || buf[pos] != '%' || (allowance && *allowance <= 0))
            return pos;
        int32_t next = skip_comment(buf, pos, bound);
        if (next < 0)
            next = bound;
        if (allowance)
            *allowance -= next - pos;
        pos = next;
    }
}

// ---- Constructs ------------------------------------------------------------
// Each reader starts at the construct's first byte, reads nothing at or
// beyond limit, and returns the position just after the construct, or -1
// when the construct runs to the limit.

// A literal string: '(' through the ')' that closes it, nested parentheses
// counted and a backslash escaping the byte after it.
int32_t skip_literal_string(const unsigned char *buf, int32_t open, int32_t limit);

// A hex string: '<' through the first '>' after it.
int32_t skip_hex_string(const unsigned char *buf, int32_t open, int32_t limit);

// ---- String values ---------------------------------------------------------
// The bytes a string stands for. Each decoder starts at the string's first
// byte and ends where skip_literal_string or skip_hex_string ends it; it
// writes the first out_cap bytes the string stands for to out (out may be
// null when out_cap is 0), their full count to *out_len, and returns the
// position just after the string, or -1 when the string runs to the limit.
// A string never stands for more bytes than its text between the
// delimiters holds.

// A literal string. \n \r \t \b \f \( \) \\ and \ddd (one to three
// octal digits, kept modulo 256) stand for one byte each; a backslash
// before an end of line (CR, LF or CR LF) stands for nothing, and an end of
// line without one for a single LF; a backslash before any other byte is
// dropped and the byte kept.
int32_t decode_literal_string(const unsigned char *buf, int32_t open, int32_t limit,
                              unsigned char *out, int32_t out_cap, int32_t *out_len);

// A hex string: pairs of hex digits, white space and any other byte between
// them passed over; a lone last digit is taken as followed by 0.
int32_t decode_hex_string(const unsigned char *buf, int32_t open, int32_t limit,
                          unsigned char *out, int32_t out_cap, int32_t *out_len);

// True when a dictionary opens at pos: "<<" with both bytes below limit.
// pos may be limit itself, even the largest position there is.
inline bool dict_opens_at(const unsigned char *buf, int32_t pos, int32_t limit)
{
    return pos >= 0 && pos < limit - 1 && buf[pos] == '<' && buf[pos + 1] == '<';
}

// What one step of the walker stepped over.
enum lex_kind {
    LEX_END,         // the limit, or a construct that runs to it
    LEX_BYTE,        // one byte that opens none of the others
    LEX_COMMENT,
    LEX_STRING,      // a literal string
    LEX_HEX_STRING,
    LEX_DICT_OPEN,   // "<<"
    LEX_DICT_CLOSE,  // ">>"
};

struct lex_step {
    lex_kind kind;
    int32_t next;  // where the walk goes on; the limit for LEX_END
};

// lex_next at a byte that may open a construct: '%', '(', '<' or '>'.
lex_step lex_construct(const unsigned char *buf, int32_t pos, int32_t limit);

// The walker: steps over the one construct that starts at pos (pos below
// limit). Strings, hex strings and comments are stepped over whole, so that
// nothing they hold counts as a delimiter. A '<', '>' or '(' as the last
// byte before the limit ends the walk, as does any construct running to it.
// Inline, since the walks call it for every byte they pass.
inline lex_step lex_next(const unsigned char *buf, int32_t pos, int32_t limit)
{
    unsigned char c = buf[pos];
    if (c != '%' && c != '(' && c != '<' && c != '>')
        return {LEX_BYTE, pos + 1};
    return lex_construct(buf, pos, limit);
}

// Whether names found by a plain search (find_name, an occurrence list)
// stand inside comments, where they are no keys: a forward walk over a text
// that starts outside every construct, asked about positions in ascending
// order.
struct comment_walk {
    int32_t pos;       // where the walk stands, outside every construct
    int32_t limit;
    bool in_comment;   // the construct the walk stepped over last, up to pos, is a comment
    int64_t examined;  // bytes looked at, for the caller's budget
};

// A walk over [start, limit).
comment_walk comment_walk_begin(int32_t start, int32_t limit);

// For target, below the limit and at or after every target asked about
// before: the position just past the comment holding it (the limit for a
// comment that runs to it), or -1 when no comment holds it. Only a '%' on
// target's own line can open such a comment, so the walk steps forward
// over constructs only when one stands there.
int32_t comment_holding(const unsigned char *buf, comment_walk *w, int32_t target);

// A dictionary: the position of the ">>" matching the "<<" at start, found
// by walking with a depth count that starts at 0 (a start inside a
// dictionary makes its first ">>" drive the depth below 0, and nothing is
// found). The limit is the smaller of len and end. -1 when nothing closes.
int32_t find_dict_close(const unsigned char *buf, int32_t len, int32_t start, int32_t end);

// An array: '[' through its matching ']'. Strings, hex strings and comments
// hide brackets, and so does a dictionary from its "<<" to its ">>".
int32_t skip_array(const unsigned char *buf, int32_t open, int32_t limit);

// A bare token (a name's text, a number, a keyword): the first token
// delimiter at or after pos, or end.
int32_t skip_token(const unsigned char *buf, int32_t pos, int32_t end);

// An integer: PDF white space skipped, an optional sign, decimal digits, read
// in wrapping 32-bit arithmetic. Moves *cursor past the digits and returns
// the value; returns -1 and leaves *cursor alone when no integer stands there.
int32_t parse_int_at(const unsigned char *buf, int32_t end, int32_t *cursor);

// The integer after a name that ends at after: white space and comments
// skipped below space_bound (skip_space_comments, with its allowance), then
// parse_int_at bounded by end. -1 when none is read.
int32_t int_after(const unsigned char *buf, int32_t after, int32_t space_bound, int32_t end,
                  int64_t *allowance = nullptr);

// How a reference "N G R" is accepted where it is read.
struct ref_rule {
    bool gen_optional;    // "N R" counts too
    bool space_before_r;  // at least one white-space byte must precede the R
    bool (*may_follow)(unsigned char);  // what may stand after the R; null: anything
};

// References found by scanning an object's text for what it refers to: the
// R must stand apart on both sides, so that number runs such as "1 0 0 RG"
// in a copied text are not taken for references.
constexpr ref_rule REF_SCANNED = {false, true, is_ref_delim};
// A reference value in a page dictionary being rewritten: "4 0R" is one, but
// "4 0 R0", which runs on after the R, is not.
constexpr ref_rule REF_VALUE = {false, false, is_ref_end};
// A kid or resources reference in the page tree: damaged files that drop the
// generation ("12 R") still load, and the byte after the R is not examined.
constexpr ref_rule REF_TREE = {true, false, nullptr};
// An indirect /Length: the R may not run on into a word, so "/Length 5 0 Rx"
// is read as the direct length 5.
constexpr ref_rule REF_LENGTH = {false, false, is_not_alnum};

// Where the parts of a reference read by ref_at ended.
struct ref_parts {
    int32_t num;      // N, or -1 when no integer starts the text
    int32_t num_end;  // just past N's digits; the start when there is no N
    int32_t stop;     // where an R was looked for, or where reading stopped
};

// A reference at pos (N read by parse_int_at, parts separated by PDF white
// space). Returns the position just after the R, or -1 when the rule does
// not accept what stands there.
int32_t ref_at(const unsigned char *buf, int32_t pos, int32_t limit, const ref_rule &rule,
               ref_parts *parts);

// The next reference of text[*pos, length) by REF_SCANNED, walking over
// strings, hex strings and comments. 1 with N in *num and *pos just after the
// R, or 0 when the text holds no further reference.
int find_ref(const unsigned char *text, int32_t length, int32_t *pos, int32_t *num);

// An object header "N G obj" read backwards from the "obj" at q: C white
// space between the parts, and no letter or digit before N unless it ends
// the five bytes "%%EOF" (an update appended without a line break after
// the previous end-of-file marker). Returns N with its first digit's
// position in *num_start and G in *gen, or 0 when no header stands there.
int32_t obj_header_before(const unsigned char *buf, int32_t q, int32_t *num_start, int32_t *gen);

// An object header read again forwards from its first digit: N, white space
// of the set, G when a digit follows, white space, and three bytes taken for
// "obj" without comparing them. Returns the position after them, at most
// limit.
int32_t obj_header_skip(const unsigned char *buf, int32_t pos, int32_t limit, space_set set);

// ---- Searches --------------------------------------------------------------

// 1 when the keyword stands at pos, followed by end or a byte that is not a
// name character; else 0.
int kw_at(const unsigned char *buf, int32_t pos, int32_t end, const char *kw);

// The first position from start where the keyword stands with no name
// character on either side (or end after it), or -1. The keyword may start
// anywhere: strings and comments are not stepped over.
int32_t find_kw(const unsigned char *buf, int32_t end, int32_t start, const char *kw);

// The position of the '/' of the first /name token in [start, min(len, end))
// ending at the limit or before a byte that is not a name character, or -1.
// The byte before the slash is not examined and nothing is stepped over.
int32_t find_name(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                  const char *name);

// The first /name key standing in the dictionary that opens at start, at
// depth 0 or 1 (depth counts "<<" and ">>" of the walk, never below 0); -1
// when none does before min(len, end).
int32_t find_key_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name);

// find_key_top at depth exactly 1: the dictionary's own keys only.
int32_t find_key_own(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name);

// The first /name token of each name whose bit (1 << k for names[k]) is set
// in wanted, each as find_name would find it in buf[start, end), from one
// pass over the '/' bytes; pos[k] receives the slash's position, and is
// left alone for names not found. Returns the position after the slash
// where the last wanted name was found, or -1 when some name stays unfound.
int32_t find_names(const unsigned char *buf, int32_t start, int32_t end,
                   const char *const *names, int count, unsigned wanted, int32_t *pos);

// find_key_top for /Type.
int32_t find_name_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end);

// ---- Numbers ---------------------------------------------------------------

// The four numbers of a rectangle "[a b c d]" after /name, the name found
// with find_name from start: 1 with them in out, else 0.
int parse_box(const unsigned char *buf, int32_t end, int32_t start, const char *name,
              double out[4]);

// parse_box without the name search: the rectangle after white space and
// comments at after, its numbers separated by white space and comments
// too. *stop, when given, receives the position of the byte the reading
// stopped at.
int parse_box_after(const unsigned char *buf, int32_t end, int32_t after, double out[4],
                    int32_t *stop = nullptr);

#endif
