// Object streams: newer files keep most of their objects, often the whole
// page tree, inside compressed /ObjStm streams that the object scan cannot
// see. Each one is decompressed into a buffer the document keeps, and every
// object listed in its header becomes a compressed entry pointing into that
// buffer. A stream whose data does not decompress and whose dictionary names
// no /Filter is stored as it stands: its entries point into the file image.
// In an encrypted document each stream's data is decrypted first, with its
// own object's key, into a buffer of its own. Duplicate resolution then
// weighs the entries against the plain ones.
#include <cstdlib>
#include <cstring>

#include "base/grow.h"
#include "doc/security.h"
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

// The decoder may write at most this much in all (1 GiB plus 32 times the
// file size), whether the output is kept or a call fails and its output is
// dropped: far above what real files need, and it keeps a file of
// compression bombs from exhausting memory or time. Streams beyond it are
// skipped like streams that do not decompress.
constexpr int64_t OBJSTM_TOTAL_BASE = int64_t(1) << 30;
constexpr int64_t OBJSTM_TOTAL_FACTOR = 32;

// Stream data may overlap: without /Length every stream runs to the next
// "endstream", and thousands of them may share one, each reading most of
// the file. The decoder may read at most this many source bytes in all (1 MiB
// plus 4 times the file size), counting every call, those that fail and the
// count-only passes too; the header bytes read from streams stored as they
// stand count as well. A file whose streams do not overlap needs at most
// three reads of each (a first try, a count, the decoding at the exact
// size); once the allowance is spent, the remaining streams are skipped.
constexpr int64_t OBJSTM_READ_BASE = int64_t(1) << 20;
constexpr int64_t OBJSTM_READ_FACTOR = 4;
// Decrypting a stream reads its data once more, before any decoding: an
// encrypted document's allowance grows by the file size once.
constexpr int64_t OBJSTM_DECRYPT_FACTOR = 1;

// What the stage may still spend, and what it has spent.
struct objstm_budget {
    int64_t read;    // source and raw header bytes
    int64_t output;  // bytes the decoder writes
    int64_t spent;   // everything read and written so far
};

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
    return int_after(doc->data, pos + 1 + static_cast<int32_t>(std::strlen(name)), e.dict_end,
                     doc->size);
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

// One decoder call on the stream's data, as much of it as the read budget
// still allows, charged to the budget: the source bytes it read, and the
// bytes it wrote whether the call succeeds or not. A call that fails
// without having been given the whole data spends the rest of the budget.
int objstm_decode(const unsigned char *src, int32_t src_len, unsigned char *dst, int64_t cap,
                  objstm_budget *b, size_t *produced, inflate_work *work)
{
    int64_t avail = src_len < b->read ? src_len : b->read > 0 ? b->read : 0;
    int rc = inflate_decompress_work(src, static_cast<size_t>(avail), dst,
                                     static_cast<size_t>(cap), produced, work);
    int64_t read = static_cast<int64_t>(work->consumed);
    int64_t written = dst == INFLATE_COUNT_ONLY ? 0 : static_cast<int64_t>(work->decoded);
    b->read = rc != 0 && avail < src_len ? 0 : b->read - read;
    b->output -= written;
    b->spent += read + written;
    return rc;
}

// Decodes into a buffer of exactly the needed size. The retry schedule
// (capacity times 4 after every failure) is followed in effect, not in
// allocations: when the first capacity is too small, a count-only pass tells
// the stream's full length, and whether any capacity of the schedule would
// have held it. A stream whose input ends before its last block needs no
// count: no capacity would help. No call may write more than the output
// budget still allows, since a longer output would be refused anyway.
// Returns the buffer (owned by the caller) or null.
unsigned char *objstm_inflate(const unsigned char *src, int32_t src_len, objstm_budget *b,
                              size_t *produced)
{
    int64_t cap = 10 * static_cast<int64_t>(src_len) + OBJSTM_SLACK;
    if (cap < OBJSTM_MIN_CAPACITY)
        cap = OBJSTM_MIN_CAPACITY;
    if (cap > static_cast<int64_t>(INFLATE_MAX_CAPACITY))
        return nullptr;  // the decoder refuses such a capacity outright
    *produced = 0;
    int64_t room = cap < b->output ? cap : b->output > 0 ? b->output : 0;
    unsigned char *buf =
        static_cast<unsigned char *>(std::malloc(static_cast<size_t>(room ? room : 1)));
    if (!buf)
        return nullptr;
    inflate_work work;
    if (objstm_decode(src, src_len, buf, room, b, produced, &work) == 0) {
        // Give back the unused room; entries are made only after this.
        void *fit = std::realloc(buf, *produced ? *produced : 1);
        return static_cast<unsigned char *>(fit ? fit : buf);
    }
    std::free(buf);
    if (work.input_ended || cap > OBJSTM_RETRY_CEILING)
        return nullptr;
    size_t full = 0;
    if (objstm_decode(src, src_len, INFLATE_COUNT_ONLY, INFLATE_MAX_CAPACITY, b, &full, &work) != 0)
        return nullptr;  // input ends early: no capacity would help
    int64_t last = cap;
    while (last <= OBJSTM_RETRY_CEILING)
        last *= 4;
    if (static_cast<int64_t>(full) > last || static_cast<int64_t>(full) > b->output)
        return nullptr;
    buf = static_cast<unsigned char *>(std::malloc(full ? full : 1));
    if (!buf)
        return nullptr;
    if (objstm_decode(src, src_len, buf, static_cast<int64_t>(full), b, produced, &work) != 0) {
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
    if (!array_grow(&doc->objstm_bufs, doc->objstm_count, &doc->objstm_cap, 16)) {
        std::free(buf);
        return false;
    }
    doc->objstm_bufs[doc->objstm_count++] = buf;
    return true;
}

// Reads the integers of an object stream's header one after the other. A
// read that fails gives -1 and leaves the cursor where it is, so every later
// read would fail the same way; once one has, the reader answers -1 without
// looking again.
struct pair_reader {
    const unsigned char *buf;
    int32_t len;
    int32_t cursor;
    int32_t failed;
};

int32_t pair_read(pair_reader *p)
{
    if (p->failed)
        return -1;
    int32_t before = p->cursor;
    int32_t v = parse_int_at(p->buf, p->len, &p->cursor);
    p->failed = p->cursor == before;
    return v;
}

// The bytes the reader has examined: up to its cursor, and after a failed
// read the white space it skipped and the byte that stopped it.
int64_t pair_examined(const pair_reader &p)
{
    if (!p.failed)
        return p.cursor;
    int32_t stop = skip_pdf_space(p.buf, p.cursor, p.len);
    return stop + 2 < p.len ? stop + 2 : p.len;
}

// Appends the compressed entry for one pair when its range of the data,
// from its own offset to the next pair's (or the end of the data for the
// last pair), is not empty.
void objstm_add_entry(pdf_doc *doc, const objstm_info &info, const unsigned char *buf,
                      int32_t len, int32_t num, int32_t off, int32_t next, bool last)
{
    int64_t start = static_cast<int64_t>(off) + info.first;
    if (start < 0 || start >= len)
        return;
    int64_t end = len;
    if (!last) {
        int64_t e = static_cast<int64_t>(next) + info.first;
        end = e < len ? e : len;
    }
    if (start >= end)
        return;
    obj_entry e{};
    e.num = num;
    e.compressed = 1;
    e.text = buf + start;
    e.text_len = static_cast<int32_t>(end - start);
    objvec_push(&doc->objs, e);
}

// Reads the header pairs "number offset" and appends one compressed entry
// per pair that describes a non-empty range of the data. A pair's text runs
// to the next pair's offset, the last pair's to the end of the data.
//
// The pairs are read one ahead of the entries, so nothing is sized by /N,
// which a hostile file may set to a billion. After the first failed read
// every number and offset is -1: a pair whose offset failed can still make
// an entry only as the last of the /N pairs, and the pairs after it, whose
// numbers failed too, would make none that duplicate resolution keeps, so
// the reading ends there. Returns the bytes of the header examined.
int64_t objstm_add_entries(pdf_doc *doc, const objstm_info &info, const unsigned char *buf,
                           int32_t len)
{
    pair_reader p{buf, len, 0, 0};
    int32_t num = pair_read(&p);
    int32_t off = pair_read(&p);
    for (int32_t i = 0; i < info.n; i++) {
        if (p.failed && num == -1 && off == -1)
            break;
        bool last = i == info.n - 1;
        int32_t next_num = last ? -1 : pair_read(&p);
        int32_t next_off = last ? -1 : pair_read(&p);
        objstm_add_entry(doc, info, buf, len, num, off, next_off, last);
        num = next_num;
        off = next_off;
    }
    return pair_examined(p);
}

// The stream's data decrypted with its own object's key into a new buffer
// the caller owns, its length in *len; the data read is charged to the
// budget. Null when the allowance cannot pay for the whole data, when
// memory runs out, or when the data does not decrypt (AES data that is no
// IV followed by whole blocks, or whose padding is wrong): the stream is
// then skipped like one that does not decompress.
unsigned char *objstm_decrypt(const pdf_doc *doc, const obj_entry &e, const objstm_info &info,
                              objstm_budget *b, int32_t *len)
{
    objcrypt_key key;
    if (b->read < info.data_len || doc_stream_key(doc, e.num, e.gen, &key) < 0)
        return nullptr;
    b->read -= info.data_len;
    b->spent += info.data_len;
    size_t n = static_cast<size_t>(info.data_len);
    unsigned char *plain = static_cast<unsigned char *>(std::malloc(n));
    size_t plain_len = 0;
    if (!plain || objcrypt_decrypt(&key, doc->data + info.data_off, n, plain, &plain_len) < 0) {
        std::free(plain);
        return nullptr;
    }
    *len = static_cast<int32_t>(plain_len);
    return plain;
}

// True when the stream's dictionary names a /Filter anywhere.
bool objstm_names_filter(const pdf_doc *doc, const obj_entry &e)
{
    return find_name(doc->data, doc->size, e.dict_off, e.dict_end, "Filter") >= 0;
}

}  // namespace

void objstm_expand_all(pdf_doc *doc)
{
    int64_t size = doc->size;
    bool encrypted = doc->crypt.opened && doc->crypt.streams != OBJCRYPT_IDENTITY;
    int64_t read_factor = OBJSTM_READ_FACTOR + (encrypted ? OBJSTM_DECRYPT_FACTOR : 0);
    objstm_budget b{OBJSTM_READ_BASE + read_factor * size,
                    OBJSTM_TOTAL_BASE + OBJSTM_TOTAL_FACTOR * size, 0};
    int32_t scanned = doc->objs.count;  // entries appended here are not revisited
    for (int32_t i = 0; i < scanned && b.read > 0; i++) {
        objstm_info info;
        if (!objstm_select(doc, doc->objs.items[i], &info))
            continue;
        const unsigned char *src = doc->data + info.data_off;
        int32_t src_len = info.data_len;
        unsigned char *plain = nullptr;
        if (encrypted) {
            plain = objstm_decrypt(doc, doc->objs.items[i], info, &b, &src_len);
            if (!plain)
                continue;
            src = plain;
        }
        size_t produced = 0;
        unsigned char *buf = objstm_inflate(src, src_len, &b, &produced);
        if (buf) {
            std::free(plain);
            if (!objstm_keep(doc, buf))
                continue;
            doc->objstm_bytes += static_cast<int64_t>(produced);
            objstm_add_entries(doc, info, buf, static_cast<int32_t>(produced));
        } else if (!objstm_names_filter(doc, doc->objs.items[i])) {
            // Stored without compression: the entries point into the file
            // image, which outlives them, or into the decrypted data, which
            // the document then keeps. The header bytes read are charged
            // like source bytes, so overlapping stored streams cannot read
            // (or list entries for) more than the budget allows either.
            if (plain && !objstm_keep(doc, plain))
                continue;
            if (plain)
                doc->objstm_bytes += src_len;
            int64_t read = objstm_add_entries(doc, info, src, src_len);
            b.read -= read;
            b.spent += read;
        } else {
            std::free(plain);
        }
    }
    doc->objstm_work = b.spent;
}
