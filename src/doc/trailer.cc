// The trailer chain. Only these facts are taken from the trailers: the /Root
// object number, for choosing the catalog, the /Info number of the same
// trailer, which outputs carry, whether any trailer or cross-reference
// stream declares /Encrypt, and where the /Encrypt value and the /ID array
// of the trailer that gave /Root stand. Cross-reference entries are never
// read: objects are located by the object scan. After the /Prev walk every
// classic trailer of the file is read once more in file order, because files
// with broken startxref offsets are common and their trailers still name the
// right catalog.
#include <cstring>

#include "doc/stages.h"
#include "scan/occur.h"
#include "scan/scan.h"

namespace {

// Sections visited through startxref and /Prev; /Prev chains that loop end
// here.
constexpr int SECTION_BUDGET = 64;
// How far a cross-reference stream's dictionary is read as plain text.
constexpr int32_t XREF_STREAM_WINDOW = 512;
constexpr int32_t STARTXREF_TAIL = 2048;
// How far a cross-reference stream's dictionary is followed to its close
// when it names /Encrypt, for the values of /Encrypt and /ID.
constexpr int32_t XREF_DICT_LIMIT = 1 << 20;

// What walk_classic_section returns, in place of a /Prev offset, when the
// section at hand holds no trailer and is read as a cross-reference stream
// instead. (A /Prev stating this very number reads the same way; any other
// negative one ends the walk.)
constexpr int32_t SECTION_NOT_CLASSIC = -2;

// Searches repeated for every trailer of the file; files with thousands of
// trailers must not cost thousands of passes.
struct trailer_ctx {
    occ_search startxref;
    occ_search root;
    occ_search info;
    occ_search encrypt;
    // Bytes of comments the trailers may still step over: the windows of
    // trailers without "startxref" overlap, and one comment may hold
    // thousands of them.
    int64_t comments;
};

// Position of the last "startxref" lying wholly within the final 2,048
// bytes, compared as plain bytes; -1 when there is none.
int32_t find_last_startxref(const unsigned char *data, int32_t size)
{
    int32_t low = (size > STARTXREF_TAIL ? size : STARTXREF_TAIL) - STARTXREF_TAIL;
    for (int32_t p = size - 9; p >= low; p--)
        if (std::memcmp(data + p, "startxref", 9) == 0)
            return p;
    return -1;
}

// The next "startxref" at or after from, or the file size.
int32_t window_end(trailer_ctx *ctx, int32_t size, int32_t from)
{
    int32_t b = occ_find_kw(&ctx->startxref, from);
    return b <= 0 ? size : b;
}

// The /Encrypt value at pos: a reference "N G R" or a dictionary.
void read_encrypt_value(const unsigned char *data, int32_t pos, int32_t limit, doc_crypt *c)
{
    int32_t p = skip_space_comments(data, pos, limit);
    if (dict_opens_at(data, p, limit)) {
        int32_t close = find_dict_close(data, limit, p, limit);
        if (close > 0) {
            c->dict_off = p;
            c->dict_end = close + 2;
        }
        return;
    }
    ref_parts parts;
    if (p < limit && is_digit(data[p]) && ref_at(data, p, limit, REF_VALUE, &parts) >= 0) {
        int32_t g = parts.num_end;
        c->dict_num = parts.num;
        c->dict_gen = parse_int_at(data, limit, &g);
    }
}

// Notes where the encryption values of the dictionary opening at s (a
// trailer's or a cross-reference stream's, which gave /Root) stand, before
// the limit: its own /Encrypt and /ID. Only a dictionary found to name
// /Encrypt is walked for them, so that files with thousands of trailers do
// not cost thousands of walks; the values of another trailer are dropped.
void note_crypt(const unsigned char *data, int32_t s, int32_t limit, bool names_encrypt,
                pdf_doc *doc)
{
    doc_crypt *c = &doc->crypt;
    c->dict_num = c->dict_gen = c->dict_off = c->dict_end = c->id_off = c->id_end = -1;
    if (!names_encrypt)
        return;
    int32_t key = find_key_own(data, limit, s, limit, "Encrypt");
    if (key >= 0)
        read_encrypt_value(data, key + 8, limit, c);
    int32_t id = find_key_own(data, limit, s, limit, "ID");
    int32_t p = id < 0 ? limit : skip_space_comments(data, id + 3, limit);
    if (p < limit && data[p] == '[') {
        int32_t end = skip_array(data, p, limit);
        if (end > 0) {
            c->id_off = p;
            c->id_end = end;
        }
    }
}

// The number after the first occurrence in data[s, b) of the four-letter
// name that search looks for (/Root, /Info) that a number follows, comments
// stepped over while the allowance lasts; -1 when there is none.
int32_t trailer_number(occ_search *search, const unsigned char *data, int32_t size, int32_t s,
                       int32_t b, int64_t *comments)
{
    for (int32_t n = occ_find_name(search, s, b); n >= 0; n = occ_find_name(search, n + 1, b)) {
        int32_t v = int_after(data, n + 5, b, size, comments);
        if (v >= 0)
            return v;
    }
    return -1;
}

// Reads the trailer dictionary after the "trailer" keyword at pos. Its window
// runs from the first '<' to the next "startxref", not to the matching
// ">>": damaged trailers are read as far as their names can be found.
void parse_trailer_dict(trailer_ctx *ctx, const unsigned char *data, int32_t size,
                        int32_t pos, pdf_doc *doc)
{
    int32_t s = skip_space_comments(data, pos + 7, size, SPACE_PDF, &ctx->comments);
    if (s >= size)
        return;
    int32_t b = window_end(ctx, size, s);
    if (b <= s || data[s] != '<')
        return;
    bool names_encrypt = occ_find_name(&ctx->encrypt, s, b) >= 0;
    int32_t root = trailer_number(&ctx->root, data, size, s, b, &ctx->comments);
    if (root >= 0) {
        doc->root_num = root;
        doc->info_num = trailer_number(&ctx->info, data, size, s, b, &ctx->comments);
        note_crypt(data, s, b, names_encrypt, doc);
    }
    if (names_encrypt)
        doc->encrypted = 1;
}

// First position at or after x where "trailer" stands (no delimiter is
// required before it), or -1.
int32_t find_trailer_from(const unsigned char *data, int32_t size, int32_t x)
{
    for (int32_t p = x; p < size; p++) {
        const void *hit = std::memchr(data + p, 't', static_cast<size_t>(size - p));
        if (!hit)
            return -1;
        p = static_cast<int32_t>(static_cast<const unsigned char *>(hit) - data);
        if (kw_at(data, p, size, "trailer"))
            return p;
    }
    return -1;
}

// A classic section at x: reads its trailer and returns the /Prev offset,
// -1 when the walk ends here, or SECTION_NOT_CLASSIC when x holds no
// trailer after all and must be read as a cross-reference stream.
int32_t walk_classic_section(trailer_ctx *ctx, const unsigned char *data, int32_t size,
                             int32_t x, pdf_doc *doc)
{
    int32_t t = find_trailer_from(data, size, x);
    if (t < 0)
        return SECTION_NOT_CLASSIC;
    parse_trailer_dict(ctx, data, size, t, doc);
    int32_t u = skip_space_comments(data, t + 7, size, SPACE_PDF, &ctx->comments);
    int32_t b = window_end(ctx, size, u);
    int32_t prev = find_name(data, size, u, b, "Prev");
    if (prev < 0)
        return -1;
    return int_after(data, prev + 5, size, size, &ctx->comments);
}

// note_crypt for the dictionary of the cross-reference stream at x, which
// opens within the window [x, w) and is followed to its close, never into
// the stream data.
void note_crypt_xref_stream(const unsigned char *data, int32_t size, int32_t x, int32_t w,
                            bool names_encrypt, pdf_doc *doc)
{
    int32_t s = x;
    while (s < w && !dict_opens_at(data, s, size))
        s++;
    int32_t limit = static_cast<int64_t>(s) + XREF_DICT_LIMIT < size ? s + XREF_DICT_LIMIT : size;
    int32_t close = s < w ? find_dict_close(data, limit, s, limit) : -1;
    note_crypt(data, s, close > 0 ? close + 2 : s, names_encrypt && close > 0, doc);
}

// A cross-reference stream at x, its dictionary read as plain text in the
// 512 bytes from x. Returns the /Prev offset or -1.
int32_t walk_xref_stream(trailer_ctx *ctx, const unsigned char *data, int32_t size, int32_t x,
                         pdf_doc *doc)
{
    int32_t w = static_cast<int64_t>(x) + XREF_STREAM_WINDOW < size ? x + XREF_STREAM_WINDOW : size;
    if (find_name(data, size, x, w, "XRef") < 0)
        return -1;
    bool names_encrypt = find_name(data, size, x, w, "Encrypt") >= 0;
    int32_t r = find_name(data, size, x, w, "Root");
    if (r >= 0) {
        int32_t v = int_after(data, r + 5, w, size);
        if (v > 0) {
            doc->root_num = v;
            doc->info_num = trailer_number(&ctx->info, data, size, x, w, &ctx->comments);
            note_crypt_xref_stream(data, size, x, w, names_encrypt, doc);
        }
    }
    if (names_encrypt)
        doc->encrypted = 1;
    int32_t prev = find_name(data, size, x, w, "Prev");
    if (prev < 0)
        return -1;
    return int_after(data, prev + 5, w, size);
}

void walk_sections(trailer_ctx *ctx, const unsigned char *data, int32_t size,
                   int32_t x, pdf_doc *doc)
{
    for (int budget = SECTION_BUDGET; budget > 0; budget--) {
        if (x < 0 || x >= size)
            return;
        int32_t next = SECTION_NOT_CLASSIC;
        if (kw_at(data, x, size, "xref"))
            next = walk_classic_section(ctx, data, size, x, doc);
        if (next == SECTION_NOT_CLASSIC)
            next = walk_xref_stream(ctx, data, size, x, doc);
        x = next;
    }
}

// Every classic trailer of the file, in file order, until one declares
// /Encrypt.
void read_all_trailers(trailer_ctx *ctx, const unsigned char *data, int32_t size,
                       pdf_doc *doc)
{
    for (int32_t t = find_kw(data, size, 0, "trailer"); t >= 0 && !doc->encrypted;
         t = find_kw(data, size, t + 7, "trailer"))
        parse_trailer_dict(ctx, data, size, t, doc);
}

}  // namespace

void trailer_read_chain(pdf_doc *doc)
{
    const unsigned char *data = doc->data;
    int32_t size = doc->size;
    int32_t sx = find_last_startxref(data, size);
    if (sx < 0)
        return;
    trailer_ctx ctx;
    ctx.comments = size;
    occ_init_kw(&ctx.startxref, data, size, "startxref");
    occ_init_name(&ctx.root, data, size, "Root");
    occ_init_name(&ctx.info, data, size, "Info");
    occ_init_name(&ctx.encrypt, data, size, "Encrypt");
    int32_t first = int_after(data, sx + 9, size, size);
    if (first >= 0 && first < size)
        walk_sections(&ctx, data, size, first, doc);
    if (!doc->encrypted)
        read_all_trailers(&ctx, data, size, doc);
    doc->trailer_work =
        ctx.startxref.examined + ctx.root.examined + ctx.info.examined + ctx.encrypt.examined;
    occ_free(&ctx.startxref);
    occ_free(&ctx.root);
    occ_free(&ctx.info);
    occ_free(&ctx.encrypt);
}
