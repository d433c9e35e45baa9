// Rewriting a chosen page's dictionary so that it hangs under the output
// file's new pages node and states its inherited attributes itself. The
// top level of the dictionary is walked once; every entry but /Parent is
// copied byte for byte, so whatever the producer wrote inside a value
// (comments, line breaks, odd spacing) survives unchanged.
#include <cstring>

#include "doc/doc.h"
#include "scan/scan.h"
#include "write/write.h"

namespace {

// The own keys that stop an inherited attribute from being added.
enum own_key { OWN_MEDIA_BOX = 1, OWN_CROP_BOX = 2, OWN_ROTATE = 4, OWN_RESOURCES = 8 };

// First token delimiter at or after pos, or end.
int32_t token_end(const unsigned char *text, int32_t pos, int32_t end)
{
    while (pos < end && !is_token_delim(text[pos]))
        pos++;
    return pos;
}

// Just past the ']' closing the array opened at open, or end. Brackets
// inside strings count too: the array is not tokenized.
int32_t array_end(const unsigned char *text, int32_t open, int32_t end)
{
    int depth = 1;
    for (int32_t i = open + 1; i < end; i++) {
        if (text[i] == '[') {
            depth++;
        } else if (text[i] == ']' && --depth == 0) {
            return i + 1;
        }
    }
    return end;
}

// Just past the R when a reference "N G R" starts at pos, else -1. One or
// more white-space bytes must separate N and G; none is needed before R.
int32_t reference_end(const unsigned char *text, int32_t pos, int32_t end)
{
    int32_t cur = pos;
    parse_int_at(text, end, &cur);
    if (cur == pos)
        return -1;
    int32_t gap = skip_pdf_space(text, cur, end);
    if (gap == cur || gap >= end || !is_digit(text[gap]))
        return -1;
    cur = gap;
    parse_int_at(text, end, &cur);
    cur = skip_pdf_space(text, cur, end);
    if (cur >= end || text[cur] != 'R')
        return -1;
    if (cur + 1 < end && !is_ref_end(text[cur + 1]))
        return -1;
    return cur + 1;
}

// Where the value starting at pos ends, by its first byte.
int32_t value_end(const unsigned char *text, int32_t pos, int32_t end)
{
    unsigned char c = text[pos];
    if (c == '<') {
        if (pos + 1 < end && text[pos + 1] == '<') {
            int32_t close = find_dict_close(text, end, pos, end);
            return close < 0 ? end : close + 2;
        }
        const void *gt = pos + 1 < end ? std::memchr(text + pos + 1, '>',
                                                     static_cast<size_t>(end - pos - 1))
                                       : nullptr;
        return gt ? static_cast<int32_t>(static_cast<const unsigned char *>(gt) - text) + 1
                  : end;
    }
    if (c == '(') {
        int32_t close = skip_literal_string(text, pos, end);
        return close < 0 ? end : close;
    }
    if (c == '[')
        return array_end(text, pos, end);
    if (c == '/')
        return token_end(text, pos + 1, end);
    if (is_digit(c) || c == '+' || c == '-') {
        int32_t ref = reference_end(text, pos, end);
        if (ref >= 0)
            return ref;
    }
    return token_end(text, pos, end);
}

bool key_is(const unsigned char *key, int32_t len, const char *name)
{
    return static_cast<size_t>(len) == std::strlen(name) &&
           std::memcmp(key, name, static_cast<size_t>(len)) == 0;
}

// The own-key flag a key sets, 0 for keys that set none.
int own_key_flag(const unsigned char *key, int32_t len)
{
    if (key_is(key, len, "/MediaBox"))
        return OWN_MEDIA_BOX;
    if (key_is(key, len, "/CropBox"))
        return OWN_CROP_BOX;
    if (key_is(key, len, "/Rotate"))
        return OWN_ROTATE;
    if (key_is(key, len, "/Resources"))
        return OWN_RESOURCES;
    return 0;
}

void buf_text(out_buf *buf, const char *s)
{
    buf_bytes(buf, s, std::strlen(s));
}

void buf_box(out_buf *buf, const char *key, const double box[4])
{
    buf_text(buf, key);
    for (int k = 0; k < 4; k++) {
        if (k > 0)
            buf_text(buf, " ");
        buf_real(buf, box[k]);
    }
    buf_text(buf, "] ");
}

// Copies every top-level entry of text[pos, end) except /Parent, each
// followed by one space; returns the own-key flags seen.
int copy_own_entries(out_buf *buf, const unsigned char *text, int32_t pos, int32_t end)
{
    int own = 0;
    while (pos < end) {
        unsigned char c = text[pos];
        if (c <= 32) {
            pos++;
        } else if (c == '>') {
            if (pos + 1 >= end || text[pos + 1] == '>')
                break;
            pos++;
        } else if (c == '/') {
            if (pos + 1 >= end)
                break;
            int32_t key_end = token_end(text, pos + 1, end);
            if (key_end >= end)
                break;
            int32_t value = skip_pdf_space(text, key_end, end);
            if (value >= end)
                break;
            int32_t after = value_end(text, value, end);
            int32_t key_len = key_end - pos;
            if (!key_is(text + pos, key_len, "/Parent")) {
                own |= own_key_flag(text + pos, key_len);
                buf_bytes(buf, text + pos, static_cast<uint64_t>(after - pos));
                buf_text(buf, " ");
            }
            pos = after;
        } else {
            // Stray bytes where a key should stand are dropped.
            pos++;
        }
    }
    return own;
}

}  // namespace

unsigned char *rebuild_page_dict(out_buf *buf, const unsigned char *text, int32_t start,
                                 int32_t end, int32_t parent_num, const page_entry &page,
                                 int32_t resources_gen)
{
    buf_text(buf, "<< ");
    if (start + 1 < end && text[start] == '<' && text[start + 1] == '<')
        start += 2;
    int own = copy_own_entries(buf, text, start, end);
    buf_text(buf, "/Parent ");
    buf_int(buf, parent_num);
    buf_text(buf, " 0 R ");
    if (!(own & OWN_MEDIA_BOX) && page.has_media_box)
        buf_box(buf, "/MediaBox [", page.media_box);
    if (!(own & OWN_CROP_BOX) && page.has_crop_box)
        buf_box(buf, "/CropBox [", page.crop_box);
    if (!(own & OWN_ROTATE) && page.rotate != 0) {
        buf_text(buf, "/Rotate ");
        buf_int(buf, page.rotate);
        buf_text(buf, " ");
    }
    if (!(own & OWN_RESOURCES) && page.has_resources) {
        if (page.resources_num > 0) {
            buf_text(buf, "/Resources ");
            buf_int(buf, page.resources_num);
            buf_text(buf, " ");
            buf_int(buf, resources_gen);
            buf_text(buf, " R ");
        } else if (page.resources_text) {
            // The inherited text may hold NUL bytes inside strings: its
            // length is the recorded one, never the terminator's position.
            buf_text(buf, "/Resources ");
            buf_bytes(buf, page.resources_text,
                      static_cast<uint64_t>(page.resources_len > 0 ? page.resources_len : 0));
            buf_text(buf, " ");
        }
    }
    return buf_bytes(buf, ">>", 2);
}
