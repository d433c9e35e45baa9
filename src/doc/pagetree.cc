// Catalog and page tree: chooses the catalog, finds the root of the page
// tree and flattens the tree into the page list, one entry per leaf page in
// document order, each with the media box, crop box, rotation and resources
// it inherits from its ancestors made effective.
//
// The tree is walked depth first with an explicit stack instead of
// recursion: a hostile file can nest pages nodes a million deep, and each
// level costs a small frame on the heap rather than a call frame.
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "base/grow.h"
#include "doc/stages.h"
#include "scan/occur.h"
#include "scan/scan.h"

namespace {

const char *const MSG_NO_PAGES_REF = "Catalog has no /Pages reference in '%s'";
const char *const MSG_BAD_TREE = "Could not resolve page tree or document has 0 pages in '%s'";
const char *const MSG_INLINE_KIDS =
    "Page tree uses inline page dictionaries in /Kids \xE2\x80\x94 pages must be indirect "
    "objects in '%s'";

// What visiting a node, or walking the whole tree, comes to. read_kids
// fails with the negative ones too, in place of a kid count.
enum walk_result {
    WALK_OK = 0,
    // A node missing from the index or not a page-tree node, a pages node
    // reached twice, a kid list without memory, or the scan budget spent.
    WALK_FAILED = -1,
    WALK_INLINE_KID = -2,  // a /Kids array holding a dictionary, not a reference
    WALK_NO_MEMORY = -3,
};

// Attributes a node hands down to its kids. The resources text is either the
// node's own copy of an inline dictionary (owned) or borrowed from the
// nearest ancestor that owns one; ancestors outlive their descendants on the
// walk stack, so a borrowed text stays valid.
struct node_attrs {
    int32_t rotate;
    int32_t has_media;
    double media[4];
    int32_t has_crop;
    double crop[4];
    int32_t res_num;
    const char *res_text;
    int32_t res_len;
    char *owned_text;
    // The node whose own inline dictionary res_text is (see page_entry).
    int32_t res_from_num;
    int32_t res_from_gen;
    int32_t res_from_compressed;
};

enum { RES_INHERIT = 0, RES_REF = 1, RES_INLINE = 2 };

// What a node states itself, before inheritance. A page object listed many
// times in /Kids arrays is read once.
struct node_own {
    int8_t read;
    int8_t kind;  // node_kind
    int8_t has_media;
    int8_t has_crop;
    int8_t has_rotate;
    int8_t res_kind;
    int32_t rotate;  // 0..359 when has_rotate
    int32_t res_num;
    int32_t res_off;  // inline resources: position and length in the range's buffer
    int32_t res_len;
    double media[4];
    double crop[4];
    int32_t kids_pos;  // pages nodes: the first /Kids in the range, or -1
};

// The names every node is searched for, by index into walk_ctx::names.
enum { NAME_MEDIABOX, NAME_CROPBOX, NAME_ROTATE, NAME_RESOURCES, NAME_KIDS, NAME_COUNT };
const char *const NODE_NAMES[NAME_COUNT] = {"MediaBox", "CropBox", "Rotate", "Resources", "Kids"};

// One pages node on the walk stack with the kids still to walk.
struct walk_frame {
    int32_t num;  // the pages node
    node_attrs attrs;
    int32_t *kids;
    int32_t kid_count;
    int32_t next_kid;
};

struct walk_stack {
    walk_frame *items;
    int32_t count;
    int32_t cap;
};

struct walk_ctx {
    pdf_doc *doc;
    node_own *own;           // per index entry, or null without memory
    walk_stack stack;
    // Name searches over the file image. Objects whose "endobj" is missing
    // reach to the end of the file, and each search over such a range would
    // scan it to the end again.
    occ_search names[NAME_COUNT];
    int64_t text_budget;
    int64_t scan_budget;
    int64_t page_budget;
    int32_t out_of_memory;
};

constexpr int64_t TEXT_BUDGET_BASE = int64_t(256) << 20;
constexpr int64_t TEXT_BUDGET_FACTOR = 16;

// Every node's text is read once, but texts may overlap: an object whose
// "endobj" is missing reaches to the next one in the file, or to its end,
// and the header pairs of an object stream may give thousands of objects
// the same bytes. A small file could then make the walk read far more than
// it holds. Each read of a node's text (and each search of a compressed
// text for /Catalog) is charged with the bytes it examined, which in an
// intact text end with the object's own dictionary whatever the length of
// its range; they may add up to SCAN_BUDGET_BASE plus SCAN_BUDGET_FACTOR
// times the file size and the decompressed object streams together. Past
// it the walk fails. Name searches in plain objects are not charged: they
// go through occurrence lists, which bound their own cost (scan/occur.h).
constexpr int64_t SCAN_BUDGET_BASE = int64_t(64) << 20;
constexpr int64_t SCAN_BUDGET_FACTOR = 16;

// Overlapping texts can also share one /Kids array among many pages nodes,
// which would list billions of pages from a few kilobytes. The page list may
// hold PAGE_BUDGET_BASE plus PAGE_BUDGET_FACTOR times the file size in bytes
// of entries, more than any real file needs (a page costs far fewer bytes of
// file than its entry does); past that the load fails as out of memory.
constexpr int64_t PAGE_BUDGET_BASE = int64_t(256) << 20;
constexpr int64_t PAGE_BUDGET_FACTOR = 32;

// Takes the bytes [from, to) that one read examined from the scan budget.
void spend(int64_t *budget, int32_t from, int32_t to)
{
    if (to > from)
        *budget -= to - from;
}

// Just past the byte at pos, but not past the end of the range: where a
// read that looked at pos stopped.
int32_t past(const text_range &r, int64_t pos)
{
    return pos < r.end ? static_cast<int32_t>(pos) + 1 : r.end;
}

// A NUL-terminated copy of a resources text. Every page entry owns one, so
// a hostile file could list a page with a huge inline dictionary a million
// times; the copies of one load may hold at most TEXT_BUDGET_BASE plus
// TEXT_BUDGET_FACTOR times the file size in all. A copy that cannot be made
// fails the load as out of memory rather than leaving a page without the
// resources it renders with.
char *walk_copy(walk_ctx *w, const char *src, int32_t len)
{
    char *t = nullptr;
    if (len < w->text_budget)
        t = static_cast<char *>(std::malloc(static_cast<size_t>(len) + 1));
    if (!t) {
        w->out_of_memory = 1;
        return nullptr;
    }
    w->text_budget -= len;
    std::memcpy(t, src, static_cast<size_t>(len));
    t[len] = '\0';
    return t;
}

// The node's kind (obj_type), charged with the bytes its searches examined.
node_kind charged_kind(walk_ctx *w, const obj_entry &e)
{
    int64_t examined = 0;
    node_kind kind = obj_type(w->doc->data, w->doc->size, e, &examined);
    w->scan_budget -= examined;
    return kind;
}

// First positions of the names in `wanted` (bits by name index) in the
// range, from one pass (find_names). Returns where the pass stopped.
int32_t find_names_in_text(const text_range &r, unsigned wanted, int32_t pos[NAME_COUNT])
{
    int32_t last = find_names(r.buf, r.start, r.end, NODE_NAMES, NAME_COUNT, wanted, pos);
    return last < 0 ? r.end : past(r, int64_t(last) + 10);
}

// Just past the name found at pos.
int32_t after_name(int32_t pos, int name)
{
    return pos + 1 + static_cast<int32_t>(std::strlen(NODE_NAMES[name]));
}

// The next occurrence of the name at or after from in the node's range, or
// -1: from the occurrence list for a plain object, by a charged search in an
// object-stream text.
int32_t next_node_name(walk_ctx *w, const obj_entry &e, const text_range &r, int name,
                       int32_t from)
{
    if (from >= r.end)
        return -1;
    if (!e.compressed)
        return occ_find_name(&w->names[name], from, r.end);
    int32_t hit = find_name(r.buf, r.end, from, r.end, NODE_NAMES[name]);
    spend(&w->scan_budget, from, hit >= 0 ? past(r, after_name(hit, name)) : r.end);
    return hit;
}

// A name written inside a comment ("% was /Rotate 90") is no entry of the
// node: each such occurrence gives way to the next one after the comment.
// The names are settled in the order they stand, so that one walk over the
// range, charged to the budget, serves them all.
void drop_commented_names(walk_ctx *w, const obj_entry &e, const text_range &r,
                          int32_t pos[NAME_COUNT])
{
    comment_walk cw = comment_walk_begin(r.start, r.end);
    unsigned open = 0;
    for (int k = 0; k < NAME_COUNT; k++)
        if (pos[k] >= 0)
            open |= 1u << k;
    while (open != 0) {
        int first = -1;
        for (int k = 0; k < NAME_COUNT; k++)
            if ((open & (1u << k)) && (first < 0 || pos[k] < pos[first]))
                first = k;
        int32_t after = comment_holding(r.buf, &cw, pos[first]);
        if (after >= 0)
            pos[first] = next_node_name(w, e, r, first, after);
        if (after < 0 || pos[first] < 0)
            open &= ~(1u << first);
    }
    w->scan_budget -= cw.examined;
}

// Where each node name first stands in the node's range outside comments,
// or -1. /Kids is looked for in pages nodes only. Plain objects are searched
// through the occurrence lists; an object-stream text, which no list
// covers, in one charged pass.
void find_node_names(walk_ctx *w, const obj_entry &e, const text_range &r, bool kids,
                     int32_t pos[NAME_COUNT])
{
    unsigned wanted = 0;
    for (int k = 0; k < NAME_COUNT; k++) {
        pos[k] = -1;
        if (k != NAME_KIDS || kids)
            wanted |= 1u << k;
    }
    if (e.compressed) {
        spend(&w->scan_budget, r.start, find_names_in_text(r, wanted, pos));
    } else {
        for (int k = 0; k < NAME_COUNT; k++)
            if (wanted & (1u << k))
                pos[k] = occ_find_name(&w->names[k], r.start, r.end);
    }
    drop_commented_names(w, e, r, pos);
}

// The rectangle after the name found at pos (see parse_box_after), charged
// with the bytes the reading examined.
int read_own_box(walk_ctx *w, const text_range &r, int32_t pos, int name, double out[4])
{
    if (pos < 0)
        return 0;
    int32_t after = after_name(pos, name);
    int32_t stop = after;
    int ok = parse_box_after(r.buf, r.end, after, out, &stop);
    spend(&w->scan_budget, after, past(r, stop));
    return ok;
}

void read_own_boxes(walk_ctx *w, const text_range &r, const int32_t pos[NAME_COUNT], node_own *o)
{
    o->has_media = read_own_box(w, r, pos[NAME_MEDIABOX], NAME_MEDIABOX, o->media);
    o->has_crop = read_own_box(w, r, pos[NAME_CROPBOX], NAME_CROPBOX, o->crop);
}

void read_own_rotate(walk_ctx *w, const text_range &r, int32_t pos, node_own *o)
{
    if (pos < 0)
        return;
    int32_t after = after_name(pos, NAME_ROTATE);
    int32_t c = skip_space_comments(r.buf, after, r.end);
    int32_t before = c;
    int32_t v = parse_int_at(r.buf, r.end, &c);
    spend(&w->scan_budget, after, past(r, c == before ? int64_t(c) + 1 : c));
    if (c == before)
        return;
    o->has_rotate = 1;
    o->rotate = ((v % 360) + 360) % 360;
}

// The node's own /Resources: a reference "N G R" (or "N R"), or an inline
// dictionary from its "<<" through its ">>". Anything else, or none,
// inherits. Returns where the reading stopped.
int32_t read_resources_value(const text_range &r, int32_t after, node_own *o)
{
    int32_t p = skip_space_comments(r.buf, after, r.end);
    if (p >= r.end)
        return r.end;
    if (is_digit(r.buf[p])) {
        ref_parts parts;
        if (ref_at(r.buf, p, r.end, REF_TREE, &parts) >= 0) {
            o->res_kind = RES_REF;
            o->res_num = parts.num;
        }
        return past(r, parts.stop);
    }
    if (dict_opens_at(r.buf, p, r.end)) {
        int32_t close = find_dict_close(r.buf, r.end, p, r.end);
        if (close < 0)
            return r.end;
        o->res_kind = RES_INLINE;
        o->res_off = p;
        o->res_len = close + 2 - p;
        return close + 2;
    }
    return past(r, int64_t(p) + 1);
}

void read_own_resources(walk_ctx *w, const text_range &r, int32_t pos, node_own *o)
{
    if (pos < 0)
        return;
    int32_t after = after_name(pos, NAME_RESOURCES);
    spend(&w->scan_budget, after, read_resources_value(r, after, o));
}

// Reads (or recalls) what the entry at idx states itself.
const node_own *read_own(walk_ctx *w, int32_t idx, node_own *scratch)
{
    node_own *o = w->own ? &w->own[idx] : scratch;
    if (w->own && o->read)
        return o;
    const pdf_doc *doc = w->doc;
    const obj_entry &e = doc->objs.items[idx];
    text_range r = obj_text_range(doc->data, doc->size, e);
    std::memset(o, 0, sizeof *o);
    o->read = 1;
    o->kids_pos = -1;
    if (w->scan_budget < 0)
        return o;  // budget spent: no page-tree node, so the walk fails
    node_kind kind = charged_kind(w, e);
    if (kind == NODE_OTHER)
        return o;
    int32_t pos[NAME_COUNT];
    find_node_names(w, e, r, kind == NODE_PAGES, pos);
    read_own_boxes(w, r, pos, o);
    read_own_rotate(w, r, pos[NAME_ROTATE], o);
    read_own_resources(w, r, pos[NAME_RESOURCES], o);
    o->kids_pos = pos[NAME_KIDS];
    if (w->scan_budget >= 0)
        o->kind = static_cast<int8_t>(kind);
    return o;
}

// The node's effective attributes: its own where it states them, else the
// inherited ones. An own inline dictionary is copied, and where it came
// from noted.
node_attrs apply_inheritance(walk_ctx *w, const node_own &o, const obj_entry &e,
                             const text_range &r, const node_attrs &in)
{
    node_attrs a = in;
    a.owned_text = nullptr;
    a.has_media = o.has_media || in.has_media;
    std::memcpy(a.media, o.has_media ? o.media : in.media, sizeof a.media);
    a.has_crop = o.has_crop || in.has_crop;
    std::memcpy(a.crop, o.has_crop ? o.crop : in.crop, sizeof a.crop);
    a.rotate = o.has_rotate ? o.rotate : in.rotate;
    if (o.res_kind == RES_REF) {
        a.res_num = o.res_num;
        a.res_text = nullptr;
        a.res_len = 0;
    } else if (o.res_kind == RES_INLINE) {
        char *text = walk_copy(w, reinterpret_cast<const char *>(r.buf + o.res_off), o.res_len);
        a.res_num = -1;
        a.res_text = text;
        a.res_len = text ? o.res_len : 0;
        a.owned_text = text;
        a.res_from_num = e.num;
        a.res_from_gen = e.gen;
        a.res_from_compressed = e.compressed;
    }
    return a;
}

// Appends the leaf page. Its entry owns a copy of whatever resources text it
// ends up with. False when the list cannot grow.
bool append_page(walk_ctx *w, int32_t num, int32_t parent, const node_attrs &a)
{
    if (w->page_budget < static_cast<int64_t>(sizeof(page_entry)))
        return false;
    w->page_budget -= static_cast<int64_t>(sizeof(page_entry));
    pagevec *pages = &w->doc->pages;
    if (!array_grow(&pages->items, pages->count, &pages->cap, 64))
        return false;
    page_entry e{};
    e.num = num;
    e.parent_num = parent;
    e.rotate = a.rotate;
    e.has_media_box = 1;
    if (a.has_media) {
        std::memcpy(e.media_box, a.media, sizeof e.media_box);
    } else {
        e.media_box[2] = 612;
        e.media_box[3] = 792;
    }
    if (a.has_crop) {
        e.has_crop_box = 1;
        std::memcpy(e.crop_box, a.crop, sizeof e.crop_box);
    }
    char *text = nullptr;
    if (a.res_text) {
        text = a.owned_text ? a.owned_text : walk_copy(w, a.res_text, a.res_len);
        if (!text)
            return false;
    }
    if (text || a.res_num > 0) {
        e.has_resources = 1;
        e.resources_num = text ? -1 : a.res_num;
        e.resources_text = text;
        e.resources_len = text ? a.res_len : 0;
        e.resources_from_num = text ? a.res_from_num : -1;
        e.resources_from_gen = a.res_from_gen;
        e.resources_from_compressed = a.res_from_compressed;
    }
    pages->items[pages->count++] = e;
    return true;
}

// Room for the kid list of one node, fixed from the object's byte length.
int32_t kid_capacity(const obj_entry &e)
{
    if (e.compressed)
        return e.text_len / 4 + 4096;
    if (e.endobj_off > e.obj_off)
        return (e.endobj_off - e.obj_off) / 4 + 4096;
    return 4096;
}

// Reads the node's direct /Kids array: every "N G R" (or "N R") with N
// above 0, in order, until ']' or the end of the range. Returns the number
// of kids, WALK_INLINE_KID for an inline dictionary, WALK_FAILED when the
// list cannot be allocated. *kids receives an array of exactly that size,
// *stop where the reading stopped.
int32_t read_kids(const text_range &r, int32_t pos, int32_t cap, int32_t **kids, int32_t *stop)
{
    *kids = nullptr;
    *stop = pos;
    if (pos < 0)
        return 0;
    int32_t p = skip_space_comments(r.buf, pos + 5, r.end);
    *stop = past(r, p);
    if (p >= r.end || r.buf[p] != '[')
        return 0;
    int32_t *list = static_cast<int32_t *>(std::malloc(static_cast<size_t>(cap) * sizeof(int32_t)));
    if (!list)
        return WALK_FAILED;
    int32_t n = 0;
    p++;
    while (p < r.end && n < cap) {
        p = skip_space_comments(r.buf, p, r.end);
        *stop = past(r, p);
        if (p >= r.end || r.buf[p] == ']')
            break;
        if (dict_opens_at(r.buf, p, r.end)) {
            std::free(list);
            return WALK_INLINE_KID;
        }
        ref_parts parts;
        int32_t after = ref_at(r.buf, p, r.end, REF_TREE, &parts);
        if (parts.num_end == p) {
            p++;
            continue;
        }
        if (parts.num <= 0) {
            p = parts.num_end;
            continue;
        }
        if (after >= 0)
            list[n++] = parts.num;
        p = after >= 0 ? after : parts.stop;
        *stop = past(r, p);
    }
    if (n == 0) {
        std::free(list);
        return 0;
    }
    // Keep only what was read: deep trees hold one list per level.
    void *exact = std::realloc(list, static_cast<size_t>(n) * sizeof(int32_t));
    *kids = static_cast<int32_t *>(exact ? exact : list);
    return n;
}

bool stack_push(walk_stack *s, const walk_frame &f)
{
    if (!array_grow(&s->items, s->count, &s->cap, 64))
        return false;
    s->items[s->count++] = f;
    return true;
}

void frame_free(walk_frame *f)
{
    std::free(f->kids);
    std::free(f->attrs.owned_text);
}

// Visits one node with the attributes its parent hands down: a page is
// appended, a pages node with kids is pushed on the stack.
walk_result visit_node(walk_ctx *w, int32_t num, int32_t parent, const node_attrs &in)
{
    pdf_doc *doc = w->doc;
    int32_t idx = doc_find(doc, num);
    if (idx < 0)
        return WALK_FAILED;
    const obj_entry &e = doc->objs.items[idx];
    text_range r = obj_text_range(doc->data, doc->size, e);
    node_own scratch;
    const node_own *o = read_own(w, idx, &scratch);
    if (o->kind != NODE_PAGE && o->kind != NODE_PAGES)
        return WALK_FAILED;
    node_attrs a = apply_inheritance(w, *o, e, r, in);
    if (w->out_of_memory)
        return WALK_NO_MEMORY;
    if (o->kind == NODE_PAGE) {
        if (!append_page(w, num, parent, a)) {
            std::free(a.owned_text);
            return WALK_NO_MEMORY;
        }
        doc->tree_nodes[num] = NODE_PAGE;
        return WALK_OK;
    }
    // A pages node reached twice is a cycle or a node with two parents.
    if (doc->tree_nodes[num] == NODE_PAGES) {
        std::free(a.owned_text);
        return WALK_FAILED;
    }
    doc->tree_nodes[num] = NODE_PAGES;
    walk_frame f{};
    f.num = num;
    f.attrs = a;
    int32_t stop = 0;
    f.kid_count = read_kids(r, o->kids_pos, kid_capacity(e), &f.kids, &stop);
    spend(&w->scan_budget, o->kids_pos, stop);
    if (w->scan_budget < 0 && f.kid_count >= 0) {
        frame_free(&f);
        return WALK_FAILED;
    }
    if (f.kid_count <= 0) {
        std::free(a.owned_text);
        return f.kid_count < 0 ? static_cast<walk_result>(f.kid_count) : WALK_OK;
    }
    if (!stack_push(&w->stack, f)) {
        frame_free(&f);
        return WALK_NO_MEMORY;
    }
    return WALK_OK;
}

// Walks the tree from its root. Returns WALK_OK, or the result that ended
// it: an inline kid dictionary counts as such only in the root's own /Kids.
walk_result walk_tree(walk_ctx *w, int32_t root)
{
    node_attrs top{};
    top.res_num = -1;
    walk_result result = visit_node(w, root, -1, top);
    while (result == WALK_OK && w->stack.count > 0) {
        walk_frame *f = &w->stack.items[w->stack.count - 1];
        if (f->next_kid == f->kid_count) {
            frame_free(f);
            w->stack.count--;
            continue;
        }
        int32_t kid = f->kids[f->next_kid++];
        node_attrs in = f->attrs;
        if (in.owned_text)
            in.owned_text = nullptr;  // borrowed by the kid, owned by this frame
        result = visit_node(w, kid, f->num, in);
        if (result == WALK_INLINE_KID)
            result = WALK_FAILED;
    }
    for (int32_t i = 0; i < w->stack.count; i++)
        frame_free(&w->stack.items[i]);
    std::free(w->stack.items);
    w->stack = walk_stack{};
    return result;
}

// The catalog: the trailer's /Root, else the first object naming /Catalog,
// else object 1. Returns an index into the object index or -1. Compressed
// texts are searched directly and what each search examined is charged to
// *scan_budget; once it is spent the search for /Catalog ends.
int32_t choose_catalog(const pdf_doc *doc, int64_t *scan_budget)
{
    if (doc->root_num >= 0) {
        int32_t i = doc_find(doc, doc->root_num);
        if (i >= 0)
            return i;
    }
    occ_search catalog;
    occ_init_name(&catalog, doc->data, doc->size, "Catalog");
    int32_t found = -1;
    for (int32_t i = 0; i < doc->objs.count && found < 0; i++) {
        const obj_entry &e = doc->objs.items[i];
        text_range r = obj_text_range(doc->data, doc->size, e);
        if (!e.compressed) {
            if (occ_find_name(&catalog, r.start, r.end) >= 0)
                found = i;
            continue;
        }
        if (*scan_budget < 0)
            break;
        int32_t hit = find_name(r.buf, r.end, r.start, r.end, "Catalog");
        spend(scan_budget, r.start, hit >= 0 ? past(r, int64_t(hit) + 8) : r.end);
        if (hit >= 0)
            found = i;
    }
    occ_free(&catalog);
    return found >= 0 ? found : doc_find(doc, 1);
}

// The page-tree root named by the catalog: the catalog itself when it is a
// page-tree node, else the first /Pages followed by a number of at least 1.
// A comment stepped over after one name may run on over thousands of
// further /Pages names written inside it; the comments stepped over may
// cover the catalog's text once in all, and the reading then stops at a
// comment.
int32_t find_tree_root(const pdf_doc *doc, const obj_entry &cat)
{
    node_kind kind = obj_type(doc->data, doc->size, cat);
    if (kind != NODE_OTHER)
        return cat.num;
    text_range r = obj_text_range(doc->data, doc->size, cat);
    int64_t comments = r.end - r.start;
    for (int32_t pos = find_name(r.buf, r.end, r.start, r.end, "Pages"); pos >= 0;
         pos = find_name(r.buf, r.end, pos + 1, r.end, "Pages")) {
        int32_t v = int_after(r.buf, pos + 6, r.end, r.end, &comments);
        if (v >= 1)
            return v;
    }
    return -1;
}

}  // namespace

int pages_load_tree(pdf_doc *doc, const char *path)
{
    int64_t measure = static_cast<int64_t>(doc->size) + doc->objstm_bytes;
    int64_t scan_budget = SCAN_BUDGET_BASE + SCAN_BUDGET_FACTOR * measure;
    int32_t cat = choose_catalog(doc, &scan_budget);
    int32_t root = cat < 0 ? -1 : find_tree_root(doc, doc->objs.items[cat]);
    if (root < 0) {
        set_error(MSG_NO_PAGES_REF, path);
        return -1;
    }
    node_kind cat_kind = obj_type(doc->data, doc->size, doc->objs.items[cat]);
    doc->catalog_idx = cat_kind != NODE_OTHER ? -1 : cat;
    walk_ctx w{};
    w.doc = doc;
    doc->tree_nodes = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(doc->max_num) + 1, 1));
    if (!doc->tree_nodes) {
        set_error("Out of memory");
        return -1;
    }
    w.own = static_cast<node_own *>(std::calloc(static_cast<size_t>(doc->objs.count) + 1, sizeof(node_own)));
    w.text_budget = TEXT_BUDGET_BASE + TEXT_BUDGET_FACTOR * static_cast<int64_t>(doc->size);
    w.scan_budget = scan_budget;
    w.page_budget = PAGE_BUDGET_BASE + PAGE_BUDGET_FACTOR * static_cast<int64_t>(doc->size);
    for (int i = 0; i < NAME_COUNT; i++)
        occ_init_name(&w.names[i], doc->data, doc->size, NODE_NAMES[i]);
    walk_result result = walk_tree(&w, root);
    for (int i = 0; i < NAME_COUNT; i++)
        occ_free(&w.names[i]);
    std::free(w.own);
    if (result == WALK_NO_MEMORY) {
        set_error("Out of memory");
        return -1;
    }
    if (result == WALK_INLINE_KID) {
        set_error(MSG_INLINE_KIDS, path);
        return -1;
    }
    if (result != WALK_OK || doc->pages.count == 0) {
        set_error(MSG_BAD_TREE, path);
        return -1;
    }
    return 0;
}
