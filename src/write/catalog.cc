// What an output's new catalog carries over from the input's catalog. The
// new catalog names only the new pages node, but three entries of the old
// one change how the chosen pages are shown or read: the interactive form
// (/AcroForm), from which viewers draw form fields and their default
// appearances, the optional-content settings (/OCProperties), without which
// content the author hid in a layer shows, and the document's language
// (/Lang), which screen readers speak the text in. Their values are copied
// byte for byte (but for the strings of an encrypted document, which are
// encrypted again for the new catalog), and what they reference is written
// with the pages.
#include <cstring>

#include "doc/doc.h"
#include "scan/scan.h"
#include "write/extract.h"

const char *const CARRY_KEYS[CARRY_COUNT] = {"/AcroForm", "/OCProperties", "/Lang"};

namespace {

// Where the value at pos ends when it is one the catalog can carry under
// key k: a reference "X G R" for every key; a dictionary or an array for
// the form and the layers; a string or a hex string for the language. -1
// for any other value.
int32_t carried_value_end(int k, const unsigned char *buf, int32_t pos, int32_t end)
{
    if (pos >= end)
        return -1;
    if (is_digit(buf[pos])) {
        ref_parts parts;
        return ref_at(buf, pos, end, REF_SCANNED, &parts);
    }
    if (k == CARRY_LANG) {
        if (buf[pos] == '(')
            return skip_literal_string(buf, pos, end);
        if (buf[pos] == '<' && !dict_opens_at(buf, pos, end))
            return skip_hex_string(buf, pos, end);
        return -1;
    }
    if (dict_opens_at(buf, pos, end)) {
        int32_t close = find_dict_close(buf, end, pos, end);
        return close > 0 ? close + 2 : -1;
    }
    if (buf[pos] == '[')
        return skip_array(buf, pos, end);
    return -1;
}

}  // namespace

void catalog_carry_find(const pdf_doc *doc, catalog_carry *carry)
{
    *carry = catalog_carry{};
    if (doc->catalog_idx < 0 || doc->catalog_idx >= doc->objs.count)
        return;
    const obj_entry &e = doc->objs.items[doc->catalog_idx];
    // A catalog without a dictionary of its own has no such entries.
    if (!e.compressed && e.dict_off < 0)
        return;
    text_range r = obj_text_range(doc->data, doc->size, e);
    for (int k = 0; k < CARRY_COUNT; k++) {
        const char *name = CARRY_KEYS[k] + 1;
        int32_t key = find_key_own(r.buf, r.end, r.start, r.end, name);
        if (key < 0)
            continue;
        int32_t value = skip_space_comments(
            r.buf, key + 1 + static_cast<int32_t>(std::strlen(name)), r.end);
        int32_t value_end = carried_value_end(k, r.buf, value, r.end);
        if (value_end > value) {
            carry->value[k] = r.buf + value;
            carry->len[k] = value_end - value;
        }
    }
}
