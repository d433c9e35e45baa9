// Rewriting a chosen page's dictionary so that it hangs under the output
// file's new pages node and states its inherited attributes itself. The
// top level of the dictionary is walked once; every entry but /Parent is
// copied byte for byte, so whatever the producer wrote inside a value
// (comments, line breaks, odd spacing) survives unchanged.
#include <cstring>

#include "doc/doc.h"
#include "scan/scan.h"
#include "write/extract.h"

namespace {

// The own keys that stop an inherited attribute from being added.
enum own_key { OWN_MEDIA_BOX = 1, OWN_CROP_BOX = 2, OWN_ROTATE = 4, OWN_RESOURCES = 8 };

// Where the value starting at pos ends, by its first byte; a value that
// runs to the end of the dictionary ends there.
int32_t value_end(const unsigned char *text, int32_t pos, int32_t end)
{
    unsigned char c = text[pos];
    int32_t after = -1;
    if (dict_opens_at(text, pos, end)) {
        int32_t close = find_dict_close(text, end, pos, end);
        after = close < 0 ? -1 : close + 2;
    } else if (c == '<') {
        after = skip_hex_string(text, pos, end);
    } else if (c == '(') {
        after = skip_literal_string(text, pos, end);
    } else if (c == '[') {
        after = skip_array(text, pos, end);
    } else if (c == '/') {
        return skip_token(text, pos + 1, end);
    } else {
        ref_parts parts;
        if (is_digit(c) || c == '+' || c == '-')
            after = ref_at(text, pos, end, REF_VALUE, &parts);
        return after >= 0 ? after : skip_token(text, pos, end);
    }
    return after < 0 ? end : after;
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
// followed by one space, its strings passed through keys; returns the
// own-key flags seen. Comments are white space: between entries they are
// dropped whole, so that a key written in one ("% was /Rotate 90") is no
// entry; between a key and its value they are stepped over and copied with
// the entry.
int copy_own_entries(out_buf *buf, const unsigned char *text, int32_t pos, int32_t end,
                     const string_keys *keys)
{
    int own = 0;
    while (pos < end) {
        unsigned char c = text[pos];
        if (c <= 32 || c == '%') {
            pos = skip_space_comments(text, pos, end, SPACE_CONTROL);
        } else if (c == '>') {
            if (pos + 1 >= end || text[pos + 1] == '>')
                break;
            pos++;
        } else if (c == '/') {
            if (pos + 1 >= end)
                break;
            int32_t key_end = skip_token(text, pos + 1, end);
            if (key_end >= end)
                break;
            int32_t value = skip_space_comments(text, key_end, end);
            if (value >= end)
                break;
            int32_t after = value_end(text, value, end);
            int32_t key_len = key_end - pos;
            if (!key_is(text + pos, key_len, "/Parent")) {
                own |= own_key_flag(text + pos, key_len);
                recrypt_append(buf, text + pos, after - pos, keys);
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
                                 int32_t resources_gen, const string_keys *own_keys,
                                 const string_keys *resources_keys)
{
    buf_text(buf, "<< ");
    if (dict_opens_at(text, start, end))
        start += 2;
    int own = copy_own_entries(buf, text, start, end, own_keys);
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
            recrypt_append(buf, reinterpret_cast<const unsigned char *>(page.resources_text),
                           page.resources_len, resources_keys);
            buf_text(buf, " ");
        }
    }
    return buf_bytes(buf, ">>", 2);
}
