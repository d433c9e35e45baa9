// Byte-level scanning of PDF text. Nothing here tokenizes a whole file: each
// primitive answers one question about a byte range (where is this keyword,
// where does this dictionary close, what integer stands here) in a single
// forward pass, reads nothing at or beyond its limit and allocates nothing.
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

inline bool is_digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

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

// What may follow the R of a reference value in a page dictionary.
inline bool is_ref_end(unsigned char c)
{
    return is_c_space(c) || c == '/' || c == '>' || c == ']';
}

// Advances pos over PDF white space, staying below bound.
inline int32_t skip_pdf_space(const unsigned char *buf, int32_t pos, int32_t bound)
{
    while (pos < bound && is_pdf_space(buf[pos]))
        pos++;
    return pos;
}

// Position just after the ')' that closes the literal string whose '(' is at
// open, honouring nested parentheses and backslash escapes; -1 when the
// string runs to the limit.
int32_t skip_literal_string(const unsigned char *buf, int32_t open, int32_t limit);

int kw_at(const unsigned char *buf, int32_t pos, int32_t end, const char *kw);
int32_t find_kw(const unsigned char *buf, int32_t end, int32_t start, const char *kw);
int32_t find_name(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                  const char *name);
int32_t find_dict_close(const unsigned char *buf, int32_t len, int32_t start, int32_t end);
int32_t find_name_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end);
int32_t find_key_top(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name);
// The first /name key of the dictionary that opens at start (depth exactly
// 1, nested dictionaries and strings left out), or -1.
int32_t find_key_own(const unsigned char *buf, int32_t len, int32_t start, int32_t end,
                     const char *name);
// Position just after the ']' matching the '[' at open; strings, hex
// strings, comments and nested arrays are stepped over. -1 when the array
// runs to the limit.
int32_t skip_array(const unsigned char *buf, int32_t open, int32_t limit);
// The reference "N G R" whose first digit is at pos, as the writer's
// reference scan accepts it: white space between the parts, and the end of
// the text or a reference delimiter after the R. Returns the position just
// after the R (N in *num), or -1; *digits_end is the position after N.
int32_t ref_at(const unsigned char *text, int32_t length, int32_t pos, int32_t *num,
               int32_t *digits_end);
int32_t parse_int_at(const unsigned char *buf, int32_t end, int32_t *cursor);
int parse_box(const unsigned char *buf, int32_t end, int32_t start, const char *name,
              double out[4]);
// The four numbers of a rectangle "[a b c d]" starting after white space at
// after: parse_box without the name search. 1 when read, else 0. *stop,
// when given, receives the position of the byte the reading stopped at.
int parse_box_after(const unsigned char *buf, int32_t end, int32_t after, double out[4],
                    int32_t *stop = nullptr);

#endif
