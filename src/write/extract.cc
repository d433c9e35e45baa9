// The extraction writer: one new PDF 1.4 file holding a list of pages of a
// loaded document. The objects the pages reach through indirect references
// are copied in index order under their own numbers and generations, the
// chosen pages are rewritten to hang under a new pages node, a new catalog
// and pages node follow, then a classic cross-reference table and the
// trailer. The whole file is assembled in memory and written with one call.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "base/grow.h"
#include "doc/doc.h"
#include "doc/security.h"
#include "scan/scan.h"
#include "write/extract.h"

namespace {

const char PDF_HEADER[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
constexpr uint64_t PDF_HEADER_LEN = 15;

constexpr int XREF_ENTRY_LEN = 20;
const char XREF_FREE_ENTRY[] = "0000000000 65535 f \n";

// First size of the reference-list pool of a cache.
constexpr int32_t REF_POOL_FIRST = 4096;

enum assembly_state {
    ASSEMBLY_OK = 0,
    ASSEMBLY_NO_MEMORY = -1,
    ASSEMBLY_TOO_LARGE = -2,
    ASSEMBLY_REFUSED = -3,  // a message is set
};

// Each copy of a repeated page takes more than this many bytes of output
// (its header line and "endobj" alone), so more copies than this could
// only end in ASSEMBLY_TOO_LARGE; the count is stopped there, before the
// new numbers could pass the 32-bit range.
constexpr int32_t COPY_LIMIT = static_cast<int32_t>(OUTPUT_POS_LIMIT / 16);

int32_t min32(int32_t a, int32_t b)
{
    return a < b ? a : b;
}

// Notes a number a reference was found for (see need_state): each number
// enters the worklist once, when it is first found.
inline void note_ref(unsigned char *needed, int32_t *worklist, int32_t *count, int32_t num)
{
    unsigned char state = needed[num];
    if (state != NEED_NONE && state != NEED_BLOCKED)
        return;
    needed[num] = state == NEED_NONE ? NEED_QUEUED : NEED_NAMED;
    worklist[(*count)++] = num;
}

// Queues a seed: a chosen page or its inherited indirect resources, which
// are written even where the page tree blocks references.
void queue_seed(extract_ctx *ctx, int32_t num)
{
    if (num < 0 || num >= ctx->table_size || ctx->needed[num] == NEED_QUEUED)
        return;
    if (ctx->needed[num] != NEED_NAMED)
        ctx->worklist[ctx->wcount++] = num;
    ctx->needed[num] = NEED_QUEUED;
}

// The state an object number starts every file in.
unsigned char need_base(const pdf_doc *doc, int32_t num)
{
    bool tree = doc->tree_nodes && num <= doc->max_num && doc->tree_nodes[num] != NODE_OTHER;
    return tree ? NEED_BLOCKED : NEED_NONE;
}

// ---- Working tables --------------------------------------------------------

int ctx_alloc_tables(extract_ctx *ctx)
{
    if (ctx->needed)
        return 0;
    size_t n = static_cast<size_t>(ctx->table_size);
    ctx->needed = static_cast<unsigned char *>(std::calloc(n, 1));
    ctx->worklist = static_cast<int32_t *>(std::malloc(n * sizeof(int32_t)));
    ctx->offsets = static_cast<int32_t *>(std::malloc(n * sizeof(int32_t)));
    ctx->chosen = static_cast<int32_t *>(std::malloc(n * sizeof(int32_t)));
    ctx->gens = static_cast<uint16_t *>(std::malloc(n * sizeof(uint16_t)));
    ctx->order = static_cast<int32_t *>(std::malloc(n * sizeof(int32_t)));
    if (ctx->needed && ctx->worklist && ctx->offsets && ctx->chosen && ctx->gens && ctx->order) {
        for (int32_t i = 0; i < ctx->table_size; i++) {
            ctx->needed[i] = need_base(ctx->doc, i);
            ctx->offsets[i] = -1;
            ctx->chosen[i] = -1;
        }
        return 0;
    }
    std::free(ctx->needed);
    std::free(ctx->worklist);
    std::free(ctx->offsets);
    std::free(ctx->chosen);
    std::free(ctx->gens);
    std::free(ctx->order);
    ctx->needed = nullptr;
    ctx->worklist = nullptr;
    ctx->offsets = nullptr;
    ctx->chosen = nullptr;
    ctx->gens = nullptr;
    ctx->order = nullptr;
    return -1;
}

// Undoes what the previous file of the context marked: only the numbers it
// queued (every table entry a file sets belongs to one of them, or to the
// new catalog and pages node), so that a file costs what it writes, not
// what the input holds.
void ctx_reset_tables(extract_ctx *ctx)
{
    for (int32_t w = 0; w < ctx->wcount; w++) {
        int32_t num = ctx->worklist[w];
        ctx->needed[num] = need_base(ctx->doc, num);
        ctx->offsets[num] = -1;
        ctx->chosen[num] = -1;
    }
    ctx->offsets[ctx->table_size - 2] = -1;
    ctx->offsets[ctx->table_size - 1] = -1;
    ctx->wcount = 0;
    ctx->copies = 0;
}

// ---- Reference closure -----------------------------------------------------

// The bytes of an entry that the closure scans: a compressed object's
// text, a stream's dictionary only (never its data), else the object from
// its dictionary (or header) to "endobj".
text_range closure_bytes(const pdf_doc *doc, const obj_entry &e)
{
    if (e.compressed)
        return {e.text, 0, e.text ? e.text_len : 0};
    if (e.has_stream) {
        if (e.dict_off >= 0 && e.dict_end > e.dict_off)
            return {doc->data, e.dict_off, min32(e.dict_end, doc->size)};
        return {doc->data, 0, 0};
    }
    int32_t start = e.dict_off >= 0 ? e.dict_off : e.obj_off;
    int32_t end = e.endobj_off > 0 ? min32(e.endobj_off, doc->size) : doc->size;
    if (start < 0 || end <= start)
        return {doc->data, 0, 0};
    return {doc->data, start, end};
}

void scan_range(extract_ctx *ctx, text_range r)
{
    if (r.end > r.start)
        scan_refs(r.buf + r.start, r.end - r.start, ctx->doc->max_num, ctx->needed,
                  ctx->worklist, &ctx->wcount);
}

int ref_cache_alloc(extract_ctx *ctx)
{
    ref_cache *c = &ctx->refs;
    if (c->first)
        return 0;
    size_t n = static_cast<size_t>(ctx->doc->objs.count) + 1;
    c->first = static_cast<int32_t *>(std::malloc(n * sizeof(int32_t)));
    c->count = static_cast<int32_t *>(std::malloc(n * sizeof(int32_t)));
    if (!c->first || !c->count)
        return -1;
    for (size_t i = 0; i < n; i++)
        c->first[i] = -1;
    return 0;
}

int ref_cache_push(ref_cache *c, int32_t num)
{
    if (!array_grow(&c->nums, c->used, &c->cap, REF_POOL_FIRST))
        return -1;
    c->nums[c->used++] = num;
    return 0;
}

// Records the references of index entry idx. -1 when memory ran out; the
// cache is then switched off and holds nothing half-recorded.
int ref_cache_record(extract_ctx *ctx, int32_t idx, text_range r)
{
    ref_cache *c = &ctx->refs;
    int32_t start = c->used;
    int32_t pos = 0;
    int32_t num;
    int32_t len = r.end - r.start;
    const unsigned char *text = r.buf + r.start;
    while (len > 0 && find_ref(text, len, &pos, &num)) {
        if (num < 1 || num > ctx->doc->max_num)
            continue;
        if (ref_cache_push(c, num) < 0) {
            c->used = start;
            c->off = 1;
            return -1;
        }
    }
    c->first[idx] = start;
    c->count[idx] = c->used - start;
    return 0;
}

// Queues what index entry idx references.
void closure_visit(extract_ctx *ctx, int32_t idx)
{
    text_range r = closure_bytes(ctx->doc, ctx->doc->objs.items[idx]);
    ref_cache *c = &ctx->refs;
    if (!ctx->use_cache || c->off) {
        scan_range(ctx, r);
        return;
    }
    if (c->first[idx] < 0 && ref_cache_record(ctx, idx, r) < 0) {
        scan_range(ctx, r);
        return;
    }
    const int32_t *nums = c->nums + c->first[idx];
    for (int32_t k = 0; k < c->count[idx]; k++)
        note_ref(ctx->needed, ctx->worklist, &ctx->wcount, nums[k]);
}

// Visits a chosen page. Its dictionary is written with a new /Parent, so
// the input's parent node that its own /Parent names is mentioned by
// nothing the file holds: while the page is scanned, that number counts as
// taken care of, and it is listed only if some other text names it.
void closure_visit_page(extract_ctx *ctx, int32_t idx, const page_entry &pe)
{
    int32_t parent = pe.parent_num;
    bool hide = parent >= 0 && parent <= ctx->doc->max_num && ctx->needed[parent] == NEED_BLOCKED;
    if (hide)
        ctx->needed[parent] = NEED_QUEUED;
    closure_visit(ctx, idx);
    if (hide)
        ctx->needed[parent] = NEED_BLOCKED;
}

uint64_t copied_bytes(const pdf_doc *doc, const obj_entry &e);

// Queues everything the seeded pages reach. Every object queued is written,
// and the input bytes a copied object takes are known here; objects whose
// texts overlap (bodies that all run to one distant "endobj", object-stream
// entries sharing their bytes) can ask for far more output than the input
// holds, and scanning them all would cost as much again. So the closure
// ends, returning false, once the copies queued alone reach the output
// position limit: assembly could only end in ASSEMBLY_TOO_LARGE.
bool closure_run(extract_ctx *ctx)
{
    if (ctx->use_cache && !ctx->refs.off && ref_cache_alloc(ctx) < 0)
        ctx->refs.off = 1;
    uint64_t copied = PDF_HEADER_LEN;
    for (int32_t w = 0; w < ctx->wcount; w++) {
        if (ctx->needed[ctx->worklist[w]] != NEED_QUEUED)
            continue;
        int32_t idx = doc_find(ctx->doc, ctx->worklist[w]);
        if (idx < 0)
            continue;
        int32_t page = ctx->chosen[ctx->worklist[w]];
        if (page >= 0) {
            closure_visit_page(ctx, idx, ctx->doc->pages.items[page]);
            continue;
        }
        copied += copied_bytes(ctx->doc, ctx->doc->objs.items[idx]);
        if (copied >= ctx->pos_limit)
            return false;
        closure_visit(ctx, idx);
    }
    return true;
}

// The object number of an opened document's encryption dictionary when an
// object of the index holds it, else -1.
int32_t encryption_dict_num(const pdf_doc *doc)
{
    int32_t num = doc->crypt.dict_num;
    if (!doc->crypt.opened || num < 1 || num > doc->max_num || doc_find(doc, num) < 0)
        return -1;
    return num;
}

// Checks the page numbers in list order and queues each chosen page, its
// indirect resources and what its inherited inline resources reference
// (that text is written into the page's dictionary, so its references must
// reach the file too). The first occurrence of a page object in the list
// is written under its own number; every later one becomes a copy of it
// numbered after the new pages node, since viewers refuse a page tree that
// names one page object twice. Returns 0, or -1 with the message set.
int seed_pages(extract_ctx *ctx, const int *pages, int count)
{
    const pdf_doc *doc = ctx->doc;
    int32_t page_count = doc->pages.count;
    if (count > ctx->kids_cap) {
        std::free(ctx->kids);
        ctx->kids = static_cast<int32_t *>(std::malloc(static_cast<size_t>(count) * sizeof(int32_t)));
        ctx->kids_cap = ctx->kids ? count : 0;
        if (!ctx->kids)
            return ASSEMBLY_NO_MEMORY;
    }
    for (int k = 0; k < count; k++) {
        int p = pages[k];
        if (p < 1 || p > page_count) {
            set_error("Page index %d out of range (1..%d)", p, page_count);
            return ASSEMBLY_REFUSED;
        }
        const page_entry &pe = doc->pages.items[p - 1];
        if (ctx->chosen[pe.num] < 0) {
            ctx->chosen[pe.num] = p - 1;
            ctx->kids[k] = pe.num;
        } else {
            if (ctx->copies == COPY_LIMIT)
                return ASSEMBLY_TOO_LARGE;
            if (!array_grow(&ctx->copy_offsets, ctx->copies, &ctx->copy_cap, 64))
                return ASSEMBLY_NO_MEMORY;
            ctx->copy_offsets[ctx->copies] = -1;
            ctx->kids[k] = ctx->table_size + ctx->copies++;
        }
        queue_seed(ctx, pe.num);
        if (pe.has_resources && pe.resources_num >= 1 && pe.resources_num <= doc->max_num)
            queue_seed(ctx, pe.resources_num);
        if (pe.has_resources && pe.resources_text && pe.resources_len > 0)
            scan_refs(reinterpret_cast<const unsigned char *>(pe.resources_text),
                      pe.resources_len, doc->max_num, ctx->needed, ctx->worklist,
                      &ctx->wcount);
    }
    // The new catalog's carried values reach what they reference, and the
    // document information travels with every output.
    for (int k = 0; k < CARRY_COUNT; k++)
        if (ctx->carry.value[k])
            scan_refs(ctx->carry.value[k], ctx->carry.len[k], doc->max_num, ctx->needed,
                      ctx->worklist, &ctx->wcount);
    if (ctx->info_num > 0)
        queue_seed(ctx, ctx->info_num);
    // An encrypted document's output keeps its encryption dictionary,
    // copied as it stands (its strings are never encrypted), for the
    // trailer to name.
    int32_t encrypt = encryption_dict_num(doc);
    if (encrypt > 0)
        queue_seed(ctx, encrypt);
    return ASSEMBLY_OK;
}

// ---- Assembly --------------------------------------------------------------

void out_text(out_buf *out, const char *s)
{
    buf_bytes(out, s, std::strlen(s));
}

// File bytes [from, to) when that range is not empty.
void out_file_range(out_buf *out, const pdf_doc *doc, int32_t from, int32_t to)
{
    if (from < 0)
        from = 0;
    if (to > doc->size)
        to = doc->size;
    if (to > from)
        buf_bytes(out, doc->data + from, static_cast<uint64_t>(to - from));
}

// Where a plain object's body starts: after its header, read again with C
// white space between number, generation and keyword as the object scan
// accepts them (a VT there included), so that the body never starts inside
// the header; then past PDF white space.
int32_t body_start(const pdf_doc *doc, const obj_entry &e)
{
    int32_t after = obj_header_skip(doc->data, e.obj_off, doc->size, SPACE_C);
    return skip_pdf_space(doc->data, after, doc->size);
}

// Bytes of the input that write_copied_object copies for e: a lower bound
// of what it appends for the object.
uint64_t copied_bytes(const pdf_doc *doc, const obj_entry &e)
{
    auto span = [doc](int32_t from, int32_t to) -> uint64_t {
        from = from < 0 ? 0 : from;
        to = to > doc->size ? doc->size : to;
        return to > from ? static_cast<uint64_t>(to - from) : 0;
    };
    if (e.compressed)
        return e.text_len > 0 ? static_cast<uint64_t>(e.text_len) : 0;
    if (e.has_stream)
        return (e.dict_off >= 0 ? span(e.dict_off, e.dict_end) : 0) + span(e.data_off, e.data_end);
    return span(body_start(doc, e), e.endobj_off);
}

void write_stream_part(out_buf *out, const pdf_doc *doc, const obj_entry &e)
{
    out_text(out, "\nstream\n");
    out_file_range(out, doc, e.data_off, e.data_end);
    out_text(out, "\nendstream");
}

// Where the strings of an entry's text come from.
string_source entry_source(const obj_entry &e)
{
    return string_source{e.num, e.gen, e.compressed};
}

// Writes the chosen page of entry e as object num, generation gen: its
// own number for the first occurrence, a new one for a copy. Its own
// strings and those of the inherited resources written into it are made
// the strings of that object.
void write_chosen_page(extract_ctx *ctx, const obj_entry &e, const page_entry &pe, int32_t num,
                       int32_t gen)
{
    const pdf_doc *doc = ctx->doc;
    out_buf *out = &ctx->out;
    int32_t parent = doc->max_num + 2;
    int32_t res_gen = pe.resources_num > 0 ? doc_written_gen(doc, pe.resources_num) : 0;
    string_keys own = string_keys_for(doc, entry_source(e), num, gen);
    string_source res_from{pe.resources_from_num, pe.resources_from_gen,
                           pe.resources_from_compressed};
    string_keys res = string_keys_for(doc, res_from, num, gen);
    if (e.compressed) {
        int32_t close = find_dict_close(e.text, e.text_len, 0, e.text_len);
        if (close > 0)
            rebuild_page_dict(out, e.text, 0, close + 2, parent, pe, res_gen, &own, &res);
        else
            recrypt_append(out, e.text, e.text_len, &own);
    } else {
        if (e.dict_off >= 0) {
            text_range r = obj_text_range(doc->data, doc->size, e);
            int32_t end = min32(r.end, doc->size);
            int32_t close = find_dict_close(doc->data, doc->size, e.dict_off, end);
            if (close > 0)
                rebuild_page_dict(out, doc->data, e.dict_off, close + 2, parent, pe, res_gen,
                                  &own, &res);
            else if (end > e.dict_off)
                recrypt_append(out, doc->data + e.dict_off, end - e.dict_off, &own);
        }
        if (e.has_stream)
            write_stream_part(out, doc, e);
    }
    out_text(out, "\nendobj\n");
}

void write_copied_object(extract_ctx *ctx, const obj_entry &e)
{
    const pdf_doc *doc = ctx->doc;
    out_buf *out = &ctx->out;
    if (e.compressed) {
        // Its strings were encrypted with no key of their own; now they
        // are the strings of a plain object of generation 0.
        string_keys keys = string_keys_for(doc, entry_source(e), e.num, 0);
        recrypt_append(out, e.text, e.text_len, &keys);
        out_text(out, "\nendobj\n");
    } else if (e.has_stream) {
        // The dictionary is copied with the white space that followed it,
        // so "stream" comes straight after.
        if (e.dict_off >= 0)
            out_file_range(out, doc, e.dict_off, e.dict_end);
        out_text(out, "stream\n");
        out_file_range(out, doc, e.data_off, e.data_end);
        out_text(out, "\nendstream\nendobj\n");
    } else {
        out_file_range(out, doc, body_start(doc, e), e.endobj_off);
        out_text(out, "\nendobj\n");
    }
}

// Whether assembly can go on: the buffer must still hold everything
// appended, and the next position must fit the 32-bit offsets.
int assembly_check(const extract_ctx *ctx)
{
    if (ctx->out.lost)
        return ASSEMBLY_NO_MEMORY;
    if (ctx->out.len >= ctx->pos_limit)
        return ASSEMBLY_TOO_LARGE;
    return ASSEMBLY_OK;
}

// Records the current output position as the start of object num.
int mark_object(extract_ctx *ctx, int32_t num)
{
    int state = assembly_check(ctx);
    if (state == ASSEMBLY_OK)
        ctx->offsets[num] = static_cast<int32_t>(ctx->out.len);
    return state;
}

// The entries of the queued numbers, in index order: a file costs what it
// writes, however many objects the input holds.
void order_entries(extract_ctx *ctx)
{
    ctx->order_count = 0;
    for (int32_t w = 0; w < ctx->wcount; w++) {
        if (ctx->needed[ctx->worklist[w]] != NEED_QUEUED)
            continue;
        int32_t idx = doc_find(ctx->doc, ctx->worklist[w]);
        if (idx >= 0)
            ctx->order[ctx->order_count++] = idx;
    }
    std::sort(ctx->order, ctx->order + ctx->order_count);
}

int write_objects(extract_ctx *ctx)
{
    const pdf_doc *doc = ctx->doc;
    order_entries(ctx);
    for (int32_t k = 0; k < ctx->order_count; k++) {
        const obj_entry &e = doc->objs.items[ctx->order[k]];
        int state = mark_object(ctx, e.num);
        if (state != ASSEMBLY_OK)
            return state;
        // An object keeps the generation its header states, so that the
        // references copied with it ("4 1 R") still find it.
        int32_t gen = obj_written_gen(e);
        ctx->gens[e.num] = static_cast<uint16_t>(gen);
        buf_int(&ctx->out, e.num);
        out_text(&ctx->out, " ");
        buf_int(&ctx->out, gen);
        out_text(&ctx->out, " obj\n");
        int32_t page = ctx->chosen[e.num];
        if (page >= 0)
            write_chosen_page(ctx, e, doc->pages.items[page], e.num, gen);
        else
            write_copied_object(ctx, e);
    }
    return ASSEMBLY_OK;
}

int write_catalog_and_pages(extract_ctx *ctx, int count)
{
    const pdf_doc *doc = ctx->doc;
    out_buf *out = &ctx->out;
    int32_t catalog = doc->max_num + 1;
    int32_t pages_num = doc->max_num + 2;
    int state = mark_object(ctx, catalog);
    if (state != ASSEMBLY_OK)
        return state;
    buf_int(out, catalog);
    out_text(out, " 0 obj\n<< /Type /Catalog /Pages ");
    buf_int(out, pages_num);
    out_text(out, " 0 R");
    // The carried values' strings become strings of the new catalog.
    string_keys keys{};
    if (doc->catalog_idx >= 0 && doc->catalog_idx < doc->objs.count)
        keys = string_keys_for(doc, entry_source(doc->objs.items[doc->catalog_idx]), catalog, 0);
    for (int k = 0; k < CARRY_COUNT; k++) {
        if (!ctx->carry.value[k])
            continue;
        out_text(out, " ");
        out_text(out, CARRY_KEYS[k]);
        out_text(out, " ");
        recrypt_append(out, ctx->carry.value[k], ctx->carry.len[k], &keys);
    }
    out_text(out, " >>\nendobj\n");

    state = mark_object(ctx, pages_num);
    if (state != ASSEMBLY_OK)
        return state;
    buf_int(out, pages_num);
    out_text(out, " 0 obj\n<< /Type /Pages /Count ");
    buf_int(out, count);
    out_text(out, " /Kids [");
    for (int k = 0; k < count; k++) {
        if (k > 0)
            out_text(out, " ");
        int32_t num = ctx->kids[k];
        buf_int(out, num);
        out_text(out, " ");
        buf_int(out, num <= doc->max_num ? doc_written_gen(doc, num) : 0);
        out_text(out, " R");
    }
    out_text(out, "] >>\nendobj\n");
    return ASSEMBLY_OK;
}

// The copies of repeated pages, in list order after the new pages node:
// each is the page's first occurrence written again under its new number.
int write_page_copies(extract_ctx *ctx, const int *pages, int count)
{
    const pdf_doc *doc = ctx->doc;
    out_buf *out = &ctx->out;
    for (int k = 0; k < count; k++) {
        int32_t num = ctx->kids[k];
        if (num < ctx->table_size)
            continue;
        int state = assembly_check(ctx);
        if (state != ASSEMBLY_OK)
            return state;
        ctx->copy_offsets[num - ctx->table_size] = static_cast<int32_t>(out->len);
        buf_int(out, num);
        out_text(out, " 0 obj\n");
        int32_t page_num = doc->pages.items[pages[k] - 1].num;
        const obj_entry &e = doc->objs.items[doc_find(doc, page_num)];
        write_chosen_page(ctx, e, doc->pages.items[ctx->chosen[page_num]], num, 0);
    }
    return ASSEMBLY_OK;
}

// Writes v into width digits with leading zeros.
void format_digits(char *out, uint32_t v, int width)
{
    for (int k = width - 1; k >= 0; k--) {
        out[k] = static_cast<char>('0' + v % 10u);
        v /= 10u;
    }
}

// One in-use cross-reference entry: ten digits of the position and five of
// the generation, with leading zeros, then keyword n.
void format_xref_entry(char line[XREF_ENTRY_LEN], int32_t pos, uint16_t gen)
{
    format_digits(line, static_cast<uint32_t>(pos), 10);
    line[10] = ' ';
    format_digits(line + 11, gen, 5);
    std::memcpy(line + 16, " n \n", 4);
}

// The numbers the cross-reference table lists after the free head, in
// ctx->order ascending: every input number the file names or writes (the
// objects written in use, the others free; object 0, should the input name
// one, is left to the head), the new catalog and pages node, then the
// copies.
void order_listed(extract_ctx *ctx)
{
    const pdf_doc *doc = ctx->doc;
    int32_t n = 0;
    for (int32_t w = 0; w < ctx->wcount; w++)
        if (ctx->worklist[w] > 0)
            ctx->order[n++] = ctx->worklist[w];
    std::sort(ctx->order, ctx->order + n);
    ctx->order[n++] = doc->max_num + 1;
    ctx->order[n++] = doc->max_num + 2;
    ctx->order_count = n;
}

// The k-th listed number: ctx->order holds the first ones, the copies
// follow from table_size on.
int32_t listed_num(const extract_ctx *ctx, int32_t k)
{
    return k < ctx->order_count ? ctx->order[k] : ctx->table_size + (k - ctx->order_count);
}

void write_xref_entry(extract_ctx *ctx, int32_t num)
{
    char line[32];
    if (num >= ctx->table_size)
        format_xref_entry(line, ctx->copy_offsets[num - ctx->table_size], 0);
    else if (ctx->offsets[num] >= 0)
        format_xref_entry(line, ctx->offsets[num], num <= ctx->doc->max_num ? ctx->gens[num] : 0);
    else
        std::memcpy(line, XREF_FREE_ENTRY, XREF_ENTRY_LEN);
    buf_bytes(&ctx->out, line, XREF_ENTRY_LEN);
}

// The cross-reference table lists the free head, the objects written and
// the numbers written text names without their object, one subsection per
// run of consecutive numbers: numbers the file never mentions are not
// listed, so a page of a large document does not carry a table the size
// of the document's.
void write_xref(extract_ctx *ctx)
{
    out_buf *out = &ctx->out;
    order_listed(ctx);
    int32_t listed = ctx->order_count + ctx->copies;
    out_text(out, "xref\n");
    // The run holding the head: 0 and the numbers that follow it directly.
    int32_t k = 0;
    while (k < listed && listed_num(ctx, k) == k + 1)
        k++;
    out_text(out, "0 ");
    buf_int(out, k + 1);
    out_text(out, "\n");
    out_text(out, XREF_FREE_ENTRY);
    for (int32_t i = 0; i < k; i++)
        write_xref_entry(ctx, listed_num(ctx, i));
    while (k < listed) {
        int32_t end = k + 1;
        while (end < listed && listed_num(ctx, end) == listed_num(ctx, end - 1) + 1)
            end++;
        buf_int(out, listed_num(ctx, k));
        out_text(out, " ");
        buf_int(out, end - k);
        out_text(out, "\n");
        for (int32_t i = k; i < end; i++)
            write_xref_entry(ctx, listed_num(ctx, i));
        k = end;
    }
}

// An encrypted document's output is encrypted as it is: the trailer names
// its encryption dictionary (the object written under its own number, or
// the dictionary the input's trailer held, byte for byte) and carries its
// /ID array byte for byte, so that the same file key opens it.
void write_trailer_encryption(extract_ctx *ctx)
{
    const pdf_doc *doc = ctx->doc;
    const doc_crypt &c = doc->crypt;
    out_buf *out = &ctx->out;
    if (!c.opened)
        return;
    int32_t num = encryption_dict_num(doc);
    if (num > 0) {
        out_text(out, " /Encrypt ");
        buf_int(out, num);
        out_text(out, " ");
        buf_int(out, doc_written_gen(doc, num));
        out_text(out, " R");
    } else if (c.dict_off >= 0) {
        out_text(out, " /Encrypt ");
        out_file_range(out, doc, c.dict_off, c.dict_end);
    }
    if (c.id_off >= 0) {
        out_text(out, " /ID ");
        out_file_range(out, doc, c.id_off, c.id_end);
    }
}

int write_xref_and_trailer(extract_ctx *ctx)
{
    out_buf *out = &ctx->out;
    int state = assembly_check(ctx);
    if (state != ASSEMBLY_OK)
        return state;
    int32_t xref = static_cast<int32_t>(out->len);
    int32_t size = ctx->table_size + ctx->copies;
    write_xref(ctx);
    out_text(out, "trailer\n<< /Size ");
    buf_int(out, size);
    out_text(out, " /Root ");
    buf_int(out, ctx->doc->max_num + 1);
    out_text(out, " 0 R");
    if (ctx->info_num > 0) {
        out_text(out, " /Info ");
        buf_int(out, ctx->info_num);
        out_text(out, " ");
        buf_int(out, doc_written_gen(ctx->doc, ctx->info_num));
        out_text(out, " R");
    }
    write_trailer_encryption(ctx);
    out_text(out, " >>\nstartxref\n");
    buf_int(out, xref);
    out_text(out, "\n%%EOF\n");
    return ctx->out.lost ? ASSEMBLY_NO_MEMORY : ASSEMBLY_OK;
}

int assemble(extract_ctx *ctx, const int *pages, int count)
{
    out_buf *out = &ctx->out;
    // A buffer kept from an earlier file of the same operation is reused
    // from its start.
    out->len = 0;
    out->lost = 0;
    if (out->data)
        out->data[0] = 0;
    buf_bytes(out, PDF_HEADER, PDF_HEADER_LEN);
    int state = write_objects(ctx);
    if (state == ASSEMBLY_OK)
        state = write_catalog_and_pages(ctx, count);
    if (state == ASSEMBLY_OK)
        state = write_page_copies(ctx, pages, count);
    if (state == ASSEMBLY_OK)
        state = write_xref_and_trailer(ctx);
    return state;
}

}  // namespace

void scan_refs(const unsigned char *text, int32_t length, int32_t max_num,
               unsigned char *needed, int32_t *worklist, int32_t *count)
{
    int32_t pos = 0;
    int32_t num;
    while (find_ref(text, length, &pos, &num))
        if (num >= 1 && num <= max_num)
            note_ref(needed, worklist, count, num);
}

void extract_ctx_init(extract_ctx *ctx, const pdf_doc *doc, int use_cache)
{
    std::memset(ctx, 0, sizeof *ctx);
    ctx->doc = doc;
    ctx->table_size = doc->max_num + 3;
    ctx->use_cache = use_cache;
    ctx->pos_limit = OUTPUT_POS_LIMIT;
    catalog_carry_find(doc, &ctx->carry);
    // The document information is carried when the load found its object.
    bool info = doc->info_num > 0 && doc->info_num <= doc->max_num && doc_find(doc, doc->info_num) >= 0;
    ctx->info_num = info ? doc->info_num : -1;
}

int extract_pages_with(extract_ctx *ctx, const int *pages, int count, const char *path)
{
    if (!path || !path[0]) {
        set_error("NULL or empty output path");
        return 0;
    }
    if (count <= 0 || !pages) {
        set_error("Page count must be > 0");
        return 0;
    }
    if (ctx_alloc_tables(ctx) < 0) {
        set_error("Out of memory");
        return 0;
    }
    ctx_reset_tables(ctx);
    int state = seed_pages(ctx, pages, count);
    if (state == ASSEMBLY_OK)
        state = closure_run(ctx) ? assemble(ctx, pages, count) : ASSEMBLY_TOO_LARGE;
    if (state == ASSEMBLY_REFUSED)
        return 0;
    if (state == ASSEMBLY_NO_MEMORY) {
        set_error("Out of memory");
        return 0;
    }
    if (state == ASSEMBLY_TOO_LARGE) {
        set_error("Output too large for a PDF 1.4 file (2 GiB or more): '%s'", path);
        return 0;
    }
    return save_output(ctx->out.data, ctx->out.len, path);
}

void extract_ctx_free(extract_ctx *ctx)
{
    std::free(ctx->needed);
    std::free(ctx->worklist);
    std::free(ctx->offsets);
    std::free(ctx->chosen);
    std::free(ctx->gens);
    std::free(ctx->order);
    std::free(ctx->kids);
    std::free(ctx->copy_offsets);
    std::free(ctx->refs.first);
    std::free(ctx->refs.count);
    std::free(ctx->refs.nums);
    buf_release(&ctx->out);
    std::memset(ctx, 0, sizeof *ctx);
}

int doc_extract_pages(const pdf_doc *doc, const int *pages, int count, const char *path)
{
    extract_ctx ctx;
    extract_ctx_init(&ctx, doc, 0);
    int result = extract_pages_with(&ctx, pages, count, path);
    extract_ctx_free(&ctx);
    return result;
}

// A series is a context that keeps the reference lists: the files of one
// operation mostly copy the same shared objects (fonts, images, the
// resources of neighbouring pages), each of which is then scanned once.
struct page_series {
    extract_ctx ctx;
};

page_series *series_begin(const pdf_doc *doc)
{
    page_series *series = static_cast<page_series *>(std::malloc(sizeof(page_series)));
    if (!series) {
        set_error("Out of memory");
        return nullptr;
    }
    extract_ctx_init(&series->ctx, doc, 1);
    return series;
}

int series_write(page_series *series, const int *pages, int count, const char *path)
{
    return extract_pages_with(&series->ctx, pages, count, path);
}

void series_end(page_series *series)
{
    if (!series)
        return;
    extract_ctx_free(&series->ctx);
    std::free(series);
}
