// What an indexed object's text is, and what kind of page-tree node it
// holds. Both read only the entry and the bytes it locates.
#include "doc/doc.h"

#include "scan/scan.h"

text_range obj_text_range(const unsigned char *data, int32_t size, const obj_entry &e)
{
    if (e.compressed)
        return {e.text, 0, e.text_len};
    int32_t start = e.dict_off < 0 ? 0 : e.dict_off;
    int32_t end = e.dict_end > 0 ? e.dict_end : e.endobj_off > 0 ? e.endobj_off : size;
    return {data, start, end};
}

node_kind obj_type(const unsigned char *data, int32_t size, const obj_entry &e,
                   int64_t *examined)
{
    int64_t seen = 0;
    node_kind kind = NODE_OTHER;
    if (!e.compressed && e.dict_off < 0)
        return NODE_OTHER;
    text_range r = obj_text_range(data, size, e);
    // What each search looked at: from where it started to just past the
    // bytes that decided it, or to the end of the range when nothing did.
    auto reach = [&r](int32_t from, int64_t to) { return (to < r.end ? to : r.end) - from; };
    int32_t from = r.start;
    for (int32_t pos = find_name_top(r.buf, r.end, from, r.end);; ) {
        if (pos < 0) {
            seen += reach(from, r.end);
            break;
        }
        int32_t v = skip_space_comments(r.buf, pos + 5, r.end);
        seen += reach(from, int64_t(v) + 7);
        if (v < r.end && r.buf[v] == '/') {
            if (kw_at(r.buf, v + 1, r.end, "Page")) {
                kind = NODE_PAGE;
                break;
            }
            if (kw_at(r.buf, v + 1, r.end, "Pages")) {
                kind = NODE_PAGES;
                break;
            }
        }
        from = pos + 1;
        pos = find_name_top(r.buf, r.end, from, r.end);
    }
    if (kind == NODE_OTHER) {
        // A node without /Type that still carries its own /Kids array is
        // taken for a pages node. Only a /Kids of the object's own dictionary
        // counts: name trees (/Names << /Dests << /Kids ... >> >>) nest
        // theirs deeper, and catalogs holding them must not pass for
        // page-tree nodes.
        int32_t kids = find_key_top(r.buf, r.end, r.start, r.end, "Kids");
        seen += reach(r.start, kids >= 0 ? int64_t(kids) + 6 : r.end);
        kind = kids >= 0 ? NODE_PAGES : NODE_OTHER;
    }
    if (examined)
        *examined += seen;
    return kind;
}
