// The object index: every "N G obj" header of the file image becomes an
// entry, found by scanning the bytes rather than by trusting the
// cross-reference table, so that damaged, truncated and hand-edited files
// still load. Stream extents and object ends are fixed afterwards, and
// duplicate resolution keeps one definition per object number.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "doc/stages.h"
#include "scan/occur.h"
#include "scan/scan.h"

namespace {

// A dictionary that never closes makes its search run to the end of the
// file; a file holding thousands of such headers would cost thousands of
// passes over its tail, and so would thousands of headers on one line, each
// followed by a comment running to its end. The searches and the comments
// stepped over of one object scan may cover this many times the file size
// in all, which no intact or merely truncated file comes near; past that, a
// search stops at the next "obj" keyword, since no dictionary of a real file
// holds an object header, and comments are no longer stepped over.
constexpr int64_t DICT_SCAN_BUDGET_FACTOR = 16;

// True when the three bytes at q, whose last one is known to be 'j', are an
// "obj" keyword with no letter or digit touching it.
bool obj_keyword_at(const unsigned char *data, int32_t size, int32_t q)
{
    if (q < 1 || data[q] != 'o' || data[q + 1] != 'b')
        return false;
    if (is_alnum(data[q - 1]))
        return false;
    return q + 3 == size || !is_alnum(data[q + 3]);
}

// Position just past the next "obj" at or after from, or the file size.
int32_t next_obj_keyword(const unsigned char *data, int32_t size, int32_t from)
{
    for (int32_t p = from; p <= size - 3; p++) {
        const void *hit = std::memchr(data + p, 'o', static_cast<size_t>(size - 2 - p));
        if (!hit)
            break;
        p = static_cast<int32_t>(static_cast<const unsigned char *>(hit) - data);
        if (data[p + 1] == 'b' && data[p + 2] == 'j')
            return p + 3;
    }
    return size;
}

// Locates the dictionary that opens the body after "obj" and, when the
// dictionary is followed by "stream", marks the entry as a stream.
void entry_find_dict(const unsigned char *data, int32_t size, int32_t q, obj_entry *e,
                     int64_t *budget)
{
    // Producers write comments after the header ("1 0 obj % entry point").
    int32_t s = skip_space_comments(data, q + 3, size, SPACE_PDF, budget);
    // s may be the file size itself, which for the largest inputs leaves
    // no room for s + 1 in 32 bits.
    if (!dict_opens_at(data, s, size))
        return;
    e->dict_off = s;
    int32_t end = *budget > 0 ? size : next_obj_keyword(data, size, q + 3);
    int32_t close = find_dict_close(data, size, s, end);
    *budget -= (close > 0 ? close : end) - s;
    if (close <= 0)
        return;
    int32_t t = skip_space_comments(data, close + 2, size, SPACE_PDF, budget);
    if (kw_at(data, t, size, "stream")) {
        e->has_stream = 1;
        e->dict_end = t;
    }
}

}  // namespace

void index_scan_objects(pdf_doc *doc)
{
    const unsigned char *data = doc->data;
    int32_t size = doc->size;
    int64_t budget = DICT_SCAN_BUDGET_FACTOR * static_cast<int64_t>(size);
    // "obj" is found through its rarest byte: 'j' is uncommon in page text
    // and dictionaries, so memchr skips most of the file.
    for (int32_t j = 2; j < size;) {
        const void *hit = std::memchr(data + j, 'j', static_cast<size_t>(size - j));
        if (!hit)
            break;
        j = static_cast<int32_t>(static_cast<const unsigned char *>(hit) - data);
        int32_t q = j - 2;
        j++;
        if (!obj_keyword_at(data, size, q))
            continue;
        int32_t num_start = 0, gen = 0;
        int32_t num = obj_header_before(data, q, &num_start, &gen);
        if (num <= 0)
            continue;
        obj_entry e{};
        e.num = num;
        e.gen = gen;
        e.obj_off = num_start;
        e.dict_off = -1;
        e.dict_end = -1;
        e.endobj_off = -1;
        entry_find_dict(data, size, q, &e, &budget);
        objvec_push(&doc->objs, e);
    }
    doc->index_work = DICT_SCAN_BUDGET_FACTOR * static_cast<int64_t>(size) - budget;
}

namespace {

// Entry indices ordered by object number, then by index: finds the first
// definition of a number in index order without a pass over the index.
struct num_order {
    int32_t *idx;
    int32_t count;
};

// Sorts the indices of the entries. Leaves idx null when memory runs out.
num_order num_order_build(const objvec *objs)
{
    num_order o{nullptr, objs->count};
    o.idx = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * (objs->count ? objs->count : 1)));
    if (!o.idx)
        return o;
    for (int32_t i = 0; i < objs->count; i++)
        o.idx[i] = i;
    const obj_entry *items = objs->items;
    std::sort(o.idx, o.idx + o.count, [items](int32_t a, int32_t b) {
        return items[a].num != items[b].num ? items[a].num < items[b].num : a < b;
    });
    return o;
}

// Index of the first entry with the number, or -1.
int32_t num_order_first(const num_order *o, const objvec *objs, int32_t num)
{
    if (!o->idx) {
        for (int32_t i = 0; i < objs->count; i++)
            if (objs->items[i].num == num)
                return i;
        return -1;
    }
    int32_t lo = 0, hi = o->count;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (objs->items[o->idx[mid]].num < num)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < o->count && objs->items[o->idx[lo]].num == num ? o->idx[lo] : -1;
}

// The lookups and searches that stream extents repeat for every stream.
struct extent_ctx {
    num_order order;
    int32_t order_built;
    occ_search endstream;
    // Bytes of comments the length readers may still step over: every
    // stream naming one length object reads its header again, and one
    // dictionary may hold thousands of /Length keys inside one comment.
    int64_t comments;
};

// The length an indirect /Length names: the integer that is the whole body
// of the first definition of object v in the file. -1 when there is none.
int32_t length_object_value(pdf_doc *doc, extent_ctx *ctx, int32_t v)
{
    if (v == 0)
        return -1;
    if (!ctx->order_built) {
        ctx->order = num_order_build(&doc->objs);
        ctx->order_built = 1;
    }
    int32_t i = num_order_first(&ctx->order, &doc->objs, v);
    if (i < 0 || doc->objs.items[i].dict_off >= 0)
        return -1;
    // The header is read with PDF white space between its parts here;
    // comments may stand between it and the value.
    int32_t c = obj_header_skip(doc->data, doc->objs.items[i].obj_off, doc->size, SPACE_PDF);
    c = skip_space_comments(doc->data, c, doc->size, SPACE_PDF, &ctx->comments);
    int32_t len = parse_int_at(doc->data, doc->size, &c);
    return len < 0 ? -1 : len;
}

// The stream's length from its dictionary, or -1 when it has none that can
// be read. Only a direct integer or a reference "V G R" counts.
int32_t stream_length(pdf_doc *doc, extent_ctx *ctx, const obj_entry &e)
{
    const unsigned char *data = doc->data;
    int32_t size = doc->size;
    int32_t end = e.dict_end;
    for (int32_t pos = find_name(data, size, e.dict_off, end, "Length"); pos >= 0;
         pos = find_name(data, size, pos + 1, end, "Length")) {
        int32_t p = skip_space_comments(data, pos + 7, end, SPACE_PDF, &ctx->comments);
        if (p >= end)
            return -1;
        if (!is_digit(data[p]) && data[p] != '-')
            continue;
        ref_parts parts;
        int32_t ref = ref_at(data, p, end, REF_LENGTH, &parts);
        if (parts.num_end == p || parts.num < 0)
            continue;
        return ref >= 0 ? length_object_value(doc, ctx, parts.num) : parts.num;
    }
    return -1;
}

// Where the stream data ends: data_off plus the length when "endstream"
// follows there (after line-end white space), else the "endstream" keyword
// itself, else the end of the file.
int32_t stream_data_end(pdf_doc *doc, extent_ctx *ctx, int32_t data_off, int32_t len)
{
    const unsigned char *data = doc->data;
    int32_t size = doc->size;
    if (len >= 0) {
        int64_t e = static_cast<int64_t>(data_off) + len;
        if (e < size) {
            int32_t g = skip_space(data, static_cast<int32_t>(e), size, SPACE_GAP);
            if (static_cast<int64_t>(g) + 9 <= size && std::memcmp(data + g, "endstream", 9) == 0)
                return static_cast<int32_t>(e);
        }
    }
    int32_t k = occ_find_kw(&ctx->endstream, data_off);
    return k < 0 ? size : k;
}

// First byte of stream data: after "stream" and its CR LF, lone CR or LF.
int32_t stream_data_start(const unsigned char *data, int32_t size, int32_t dict_end)
{
    int32_t p = dict_end + 6;
    if (p < size) {
        if (data[p] == '\r') {
            p = dict_end + 7;
            if (dict_end + 7 < size && data[dict_end + 7] == '\n')
                p = dict_end + 8;
        } else if (data[p] == '\n') {
            p = dict_end + 7;
        }
    }
    return p;
}

}  // namespace

void index_stream_extents(pdf_doc *doc)
{
    extent_ctx ctx{};
    ctx.comments = doc->size;
    occ_init_kw(&ctx.endstream, doc->data, doc->size, "endstream");
    for (int32_t i = 0; i < doc->objs.count; i++) {
        obj_entry *e = &doc->objs.items[i];
        if (!e->has_stream)
            continue;
        e->data_off = stream_data_start(doc->data, doc->size, e->dict_end);
        int32_t len = stream_length(doc, &ctx, *e);
        doc->objs.items[i].data_end = stream_data_end(doc, &ctx, e->data_off, len);
    }
    std::free(ctx.order.idx);
    occ_free(&ctx.endstream);
}

namespace {

// Where the search for an object's "endobj" starts: past its stream data,
// else past its dictionary, else at its header. A dictionary is skipped
// whole (strings included: an annotation's text may well say "endobj")
// when it closes before the next object's header; a damaged one that does
// not is searched from its "<<", which finds the nearest keyword.
int32_t endobj_search_start(const pdf_doc *doc, int32_t i)
{
    const obj_entry &e = doc->objs.items[i];
    if (e.has_stream)
        return e.data_end;
    if (e.dict_off < 0)
        return e.obj_off;
    int32_t next = i + 1 < doc->objs.count ? doc->objs.items[i + 1].obj_off : doc->size;
    // Bounded by the next header, the search costs no more than the bytes
    // up to it, and finds the same close whenever it lies before it.
    int32_t close = find_dict_close(doc->data, doc->size, e.dict_off, next);
    return close > 0 && static_cast<int64_t>(close) + 2 <= next ? close + 2 : e.dict_off;
}

}  // namespace

void index_object_ends(pdf_doc *doc)
{
    occ_search endobj;
    occ_init_kw(&endobj, doc->data, doc->size, "endobj");
    for (int32_t i = 0; i < doc->objs.count; i++) {
        int32_t k = occ_find_kw(&endobj, endobj_search_start(doc, i));
        doc->objs.items[i].endobj_off = k < 0 ? doc->size : k;
    }
    occ_free(&endobj);
}

namespace {

// A stream whose dictionary names /ObjStm: its objects are represented by
// the compressed entries made from it, never by the container itself.
bool entry_is_container(const pdf_doc *doc, const obj_entry &e)
{
    return !e.compressed && e.has_stream &&
           find_name(doc->data, doc->size, e.dict_off, e.dict_end, "ObjStm") >= 0;
}

bool num_in_range(int32_t num)
{
    return num >= 0 && num <= MAX_OBJ_NUM;
}

// keep[i] = 1 for the definitions that survive: among plain definitions of a
// number the last in the file; a plain definition over every compressed one;
// among compressed ones the last in index order. Works on the entries sorted
// by number, so it needs memory in proportion to the index, not to the
// highest object number. Returns false when memory runs out.
bool dedup_mark(const pdf_doc *doc, const unsigned char *container, unsigned char *keep)
{
    const objvec *objs = &doc->objs;
    num_order o = num_order_build(objs);
    if (!o.idx)
        return false;
    for (int32_t g = 0; g < o.count;) {
        int32_t num = objs->items[o.idx[g]].num;
        int32_t h = g;
        int32_t last_plain = -1, last_comp = -1;
        for (; h < o.count && objs->items[o.idx[h]].num == num; h++) {
            int32_t i = o.idx[h];
            if (objs->items[i].compressed)
                last_comp = i;
            else if (!container[i])
                last_plain = i;
        }
        if (num_in_range(num)) {
            if (last_plain >= 0)
                keep[last_plain] = 1;
            else if (last_comp >= 0)
                keep[last_comp] = 1;
        }
        g = h;
    }
    std::free(o.idx);
    return true;
}

// Without memory for the sort: every plain definition that is not a
// container stays, duplicates included, and a compressed one stays unless a
// plain entry (container or not) has its number.
void dedup_mark_reduced(const pdf_doc *doc, const unsigned char *container, unsigned char *keep)
{
    const objvec *objs = &doc->objs;
    for (int32_t i = 0; i < objs->count; i++) {
        const obj_entry &e = objs->items[i];
        if (!num_in_range(e.num) || container[i])
            continue;
        if (!e.compressed) {
            keep[i] = 1;
            continue;
        }
        bool shadowed = false;
        for (int32_t j = 0; j < objs->count && !shadowed; j++)
            shadowed = !objs->items[j].compressed && objs->items[j].num == e.num;
        keep[i] = shadowed ? 0 : 1;
    }
}

// Table of the first entry for each number; built only when the highest
// number is within the limit for the file's size, since a larger one fails
// the load anyway.
void index_build_lookup(pdf_doc *doc)
{
    if (doc->max_num > obj_num_limit(doc->size))
        return;
    size_t slots = static_cast<size_t>(doc->max_num) + 1;
    doc->by_num = static_cast<int32_t *>(std::malloc(slots * sizeof(int32_t)));
    if (!doc->by_num)
        return;
    for (size_t n = 0; n < slots; n++)
        doc->by_num[n] = -1;
    for (int32_t i = doc->objs.count - 1; i >= 0; i--)
        doc->by_num[doc->objs.items[i].num] = i;
}

}  // namespace

void index_resolve_duplicates(pdf_doc *doc)
{
    objvec *objs = &doc->objs;
    size_t n = static_cast<size_t>(objs->count);
    unsigned char *flags = static_cast<unsigned char *>(std::calloc(n ? 2 * n : 2, 1));
    unsigned char *container = flags;
    unsigned char *keep = flags ? flags + n : nullptr;
    if (flags) {
        for (int32_t i = 0; i < objs->count; i++)
            container[i] = entry_is_container(doc, objs->items[i]);
        if (!dedup_mark(doc, container, keep))
            dedup_mark_reduced(doc, container, keep);
    }
    // Kept entries are a subsequence in index order, so the final index is
    // compacted in place and needs no second array.
    int32_t out = 0;
    doc->max_num = 0;
    for (int32_t i = 0; i < objs->count; i++) {
        bool kept;
        if (flags) {
            kept = keep[i];
        } else {
            // No memory even for the flags: keep every in-range plain
            // definition that is not a container.
            const obj_entry &e = objs->items[i];
            kept = num_in_range(e.num) && !e.compressed && !entry_is_container(doc, e);
        }
        if (!kept)
            continue;
        if (objs->items[i].num > doc->max_num)
            doc->max_num = objs->items[i].num;
        objs->items[out++] = objs->items[i];
    }
    objs->count = out;
    std::free(flags);
    index_build_lookup(doc);
}
