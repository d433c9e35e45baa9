// Object streams: newer files keep most of their objects, often the whole
// page tree, inside compressed /ObjStm streams that the object scan cannot
// see. Each one is decompressed into a buffer the document keeps, and every
// object listed in its header becomes a compressed entry pointing into that
// buffer. Duplicate resolution then weighs them against the plain entries.
#include <cstdlib>
#include <cstring>

#include "doc/stages.h"
#include "inflate/inflate.h"
#include "scan/scan.h"

namespace {

// First output capacity: ten times the compressed size plus 64 KiB, at least
// 256 KiB; a stream that does not fit is retried with four times the room
// while the capacity is at most OBJSTM_RETRY_CEILING.
constexpr int64_t OBJSTM_MIN_CAPACITY = 0x40000;
constexpr int64_t OBJSTM_SLACK = 0x10000;
constexpr int64_t OBJSTM_RETRY_CEILING = 0xFFFFFFF;

// Decompressed object streams of one document may hold at most this much in
// all (1 GiB plus 32 times the file size): far above what real files need,
// and it keeps a file of compression bombs from exhausting memory. Streams
// beyond it are skipped like streams that do not decompress.
constexpr int64_t OBJSTM_TOTAL_BASE = int64_t(1) << 30;
constexpr int64_t OBJSTM_TOTAL_FACTOR = 32;

struct objstm_info {
    int32_t n;
    int32_t first;
    int32_t data_off;
    int32_t data_len;
};

// The integer after /name in the stream's dictionary, or -1 when the name
// is absent or no integer follows. *present tells the two apart.
int32_t dict_int(const pdf_doc *doc, const obj_entry &e, const char *name, bool *present)
{
    int32_t pos = find_name(doc->data, doc->size, e.dict_off, e.dict_end, name);
    *present = pos >= 0;
    if (pos < 0)
        return -1;
    int32_t c = skip_pdf_space(doc->data, pos + 1 + static_cast<int32_t>(std::strlen(name)),
                               e.dict_end);
    return parse_int_at(doc->data, doc->size, &c);
}

// True when the entry is an object stream worth expanding; fills *info.
bool objstm_select(const pdf_doc *doc, const obj_entry &e, objstm_info *info)
{
    if (!e.has_stream || find_name(doc->data, doc->size, e.dict_off, e.dict_end, "ObjStm") < 0)
        return false;
    bool has_n, has_first;
    info->n = dict_int(doc, e, "N", &has_n);
    info->first = dict_int(doc, e, "First", &has_first);
    if (!has_first || info->n <= 0 || info->first <= 0)
        return false;
    info->data_off = e.data_off;
    info->data_len = e.data_end - e.data_off;
    return info->data_len > 0;
}

// Decodes into a buffer of exactly the needed size. The retry schedule
// (capacity times 4 after every failure) is followed in effect, not in
// allocations: when the first capacity is too small, a count-only pass tells
// the stream's full length, and whether any capacity of the schedule would
// have held it. Returns the buffer (owned by the caller) or null.
unsigned char *objstm_inflate(const unsigned char *src, int32_t src_len, int64_t budget,
                              size_t *produced)
{
    int64_t cap = 10 * static_cast<int64_t>(src_len) + OBJSTM_SLACK;
    if (cap < OBJSTM_MIN_CAPACITY)
        cap = OBJSTM_MIN_CAPACITY;
    if (cap > static_cast<int64_t>(INFLATE_MAX_CAPACITY))
        return nullptr;  // the decoder refuses such a capacity outright
    *produced = 0;
    unsigned char *buf = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(cap)));
    if (!buf)
        return nullptr;
    if (inflate_decompress(src, static_cast<size_t>(src_len), buf, static_cast<size_t>(cap),
                           produced) == 0 &&
        static_cast<int64_t>(*produced) <= budget) {
        // Give back the unused room; entries are made only after this.
        void *fit = std::realloc(buf, *produced ? *produced : 1);
        return static_cast<unsigned char *>(fit ? fit : buf);
    }
    std::free(buf);
    if (cap > OBJSTM_RETRY_CEILING)
        return nullptr;
    size_t full = 0;
    if (inflate_decompress(src, static_cast<size_t>(src_len), INFLATE_COUNT_ONLY,
                           INFLATE_MAX_CAPACITY, &full) != 0)
        return nullptr;  // input ends early: no capacity would help
    int64_t last = cap;
    while (last <= OBJSTM_RETRY_CEILING)
        last *= 4;
    if (static_cast<int64_t>(full) > last || static_cast<int64_t>(full) > budget)
        return nullptr;
    buf = static_cast<unsigned char *>(std::malloc(full ? full : 1));
    if (!buf)
        return nullptr;
    if (inflate_decompress(src, static_cast<size_t>(src_len), buf, full, produced) != 0) {
        std::free(buf);
        *produced = 0;
        return nullptr;
    }
    return buf;
}

// Hands the buffer to the document. False (buffer released) when the list of
// buffers cannot grow.
bool objstm_keep(pdf_doc *doc, unsigned char *buf)
{
    if (doc->objstm_count == doc->objstm_cap) {
        if (doc->objstm_cap > INT32_MAX / 2) {
            std::free(buf);
            return false;
        }
        int32_t cap = doc->objstm_cap == 0 ? 16 : doc->objstm_cap * 2;
        void *grown = std::realloc(doc->objstm_bufs, static_cast<size_t>(cap) * sizeof(unsigned char *));
        if (!grown) {
            std::free(buf);
            return false;
        }
        doc->objstm_bufs = static_cast<unsigned char **>(grown);
        doc->objstm_cap = cap;
    }
    doc->objstm_bufs[doc->objstm_count++] = buf;
    return true;
}

// Reads the header pairs "number offset" and appends one compressed entry
// per pair that describes a non-empty range of the data. A pair's text runs
// to the next pair's offset, the last pair's to the end of the data.
//
// Each integer read takes at least two bytes after the first, so no more
// than len/2 + 2 pairs can be read from len bytes: every later read fails,
// and the arrays are sized by that instead of by /N, which a hostile file
// may set to a billion. Failed reads give -1, as the pairs beyond that bound
// would; only the very last pair could then still yield an entry, numbered
// -1, which duplicate resolution would drop, so it is not made at all.
void objstm_add_entries(pdf_doc *doc, const objstm_info &info, const unsigned char *buf,
                        int32_t len)
{
    int64_t readable = static_cast<int64_t>(len) / 2 + 2;
    int32_t r = info.n < readable ? info.n : static_cast<int32_t>(readable);
    int32_t *nums = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * r));
    int32_t *offs = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * r));
    if (!nums || !offs) {
        std::free(nums);
        std::free(offs);
        return;
    }
    int32_t c = 0;
    for (int32_t i = 0; i < r; i++) {
        nums[i] = parse_int_at(buf, len, &c);
        offs[i] = parse_int_at(buf, len, &c);
    }
    for (int32_t i = 0; i < r; i++) {
        int64_t start = static_cast<int64_t>(offs[i]) + info.first;
        if (start < 0 || start >= len)
            continue;
        int64_t end = len;
        if (i < info.n - 1) {
            int32_t next = i + 1 < r ? offs[i + 1] : -1;
            int64_t e = static_cast<int64_t>(next) + info.first;
            end = e < len ? e : len;
        }
        if (start >= end)
            continue;
        obj_entry e{};
        e.num = nums[i];
        e.compressed = 1;
        e.text = buf + start;
        e.text_len = static_cast<int32_t>(end - start);
        objvec_push(&doc->objs, e);
    }
    std::free(nums);
    std::free(offs);
}

}  // namespace

void objstm_expand_all(pdf_doc *doc)
{
    int64_t budget = OBJSTM_TOTAL_BASE + OBJSTM_TOTAL_FACTOR * static_cast<int64_t>(doc->size);
    int32_t scanned = doc->objs.count;  // entries appended here are not revisited
    for (int32_t i = 0; i < scanned; i++) {
        objstm_info info;
        if (!objstm_select(doc, doc->objs.items[i], &info))
            continue;
        size_t produced = 0;
        unsigned char *buf =
            objstm_inflate(doc->data + info.data_off, info.data_len, budget, &produced);
        if (!buf || !objstm_keep(doc, buf))
            continue;
        budget -= static_cast<int64_t>(produced);
        doc->objstm_bytes += static_cast<int64_t>(produced);
        objstm_add_entries(doc, info, buf, static_cast<int32_t>(produced));
    }
}
