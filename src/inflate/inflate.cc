// DEFLATE decoding (RFC 1951) inside a zlib wrapper (RFC 1950).
//
// Huffman codes are decoded canonically, one bit at a time, against the
// number of codes of each length: a symbol costs at most 15 steps, and a
// dynamic block's tables cost one pass over its code lengths to set up. No
// table indexed by bit patterns is built. Running out of input ends the whole
// call from whatever depth it happens at through one non-local exit, so the
// decoding loops carry no plumbing for it; every local on the way is
// trivially destructible.
#include "inflate/inflate.h"

#include <csetjmp>
#include <cstring>

namespace {

constexpr int MAXBITS = 15;     // longest code
constexpr int MAXLCODES = 286;  // literal/length symbols a dynamic block may code
constexpr int MAXDCODES = 30;   // distance symbols a dynamic block may code
constexpr int MAXCODES = MAXLCODES + MAXDCODES;
constexpr int FIXLCODES = 288;  // literal/length symbols of the fixed code

struct inflate_state {
    unsigned char *dst;    // output, or INFLATE_COUNT_ONLY
    uint32_t dst_cap;
    // Bytes produced. 64 bits wide because count-only mode checks no capacity
    // and a small hostile stream can claim more than 4 GiB of output.
    uint64_t dst_count;
    const unsigned char *src;  // input just past the zlib header
    uint32_t src_len;
    uint32_t src_pos;
    int bit_buf;    // bits not yet used, taken from the low end
    int bit_count;  // valid bits in bit_buf; 0 to 7 between operations
    // Where running out of input leaves to: set by blocks_guarded, whose
    // frame is live while any read can run out. The record itself belongs
    // to blocks_guarded's caller, so what the decoding stored in it is
    // there after the exit, with no volatile needed.
    std::jmp_buf bail_out;
};

// A canonical code: count[L] symbols have codes of length L (count[0] is the
// number without a code); symbol lists them by length, then by value.
struct huff_table {
    int16_t *count;
    int16_t *symbol;
};

// Base lengths and extra bits of length symbols 257..285, base distances and
// extra bits of distance symbols 0..29 (RFC 1951, 3.2.5).
const int16_t lens[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int16_t lext[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int16_t dists[30] = {1,   2,   3,   4,   5,    7,    9,    13,   17,   25,
                           33,  49,  65,  97,  129,  193,  257,  385,  513,  769,
                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int16_t dext[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                          6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// Order in which a dynamic block stores its code-length code lengths (3.2.7).
const int16_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The fixed codes (RFC 1951, 3.2.6), built by the first fixed block of the
// process and shared by every later one. Only distance symbols 0..29 get
// codes, so the 5-bit codes 30 and 31 match nothing.
int16_t lencnt[MAXBITS + 1];
int16_t lensym[FIXLCODES];
int16_t distcnt[MAXBITS + 1];
int16_t distsym[MAXDCODES];
huff_table lencode = {lencnt, lensym};
huff_table distcode = {distcnt, distsym};
int virgin = 1;

bool count_only(const inflate_state *s)
{
    return s->dst == INFLATE_COUNT_ONLY;
}

[[noreturn]] void bail(inflate_state *s)
{
    std::longjmp(s->bail_out, 1);
}

inline int next_byte(inflate_state *s)
{
    if (s->src_pos == s->src_len)
        bail(s);
    return s->src[s->src_pos++];
}

// The next need bits (0 to 13) of the input, least significant bit first.
// Reads input bytes only while the reservoir holds fewer than need bits.
inline int bits(inflate_state *s, int need)
{
    int val = s->bit_buf;
    while (s->bit_count < need) {
        val |= next_byte(s) << s->bit_count;
        s->bit_count += 8;
    }
    s->bit_buf = val >> need;
    s->bit_count -= need;
    return val & ((1 << need) - 1);
}

// Decodes one symbol with h. Huffman codes are packed most significant bit
// first, so each input bit extends the code on the right; at each length the
// codes of that length are the count[L] values from that length's first
// code. Only the distance of the code from that first code is kept: taking
// one more bit turns it into 2 * (offset - count[L]) + bit. Input bytes are
// read only when the code needs another bit, and a bit sequence is known to
// match nothing only after 15 bits. Returns the symbol, or -10 when no code
// of length 15 or less matches.
//
// The reservoir is walked in locals; since the reservoir holds fewer than 8
// bits between operations and whole bytes are added, the bits left after a
// code of length len are (bit_count - len) mod 8.
inline int decode(inflate_state *s, const huff_table *h)
{
    int offset = 0;  // code minus the first code of the current length
    int index = 0;   // index in symbol of the first code of the current length
    int len = 1;
    int buf = s->bit_buf;
    int left = s->bit_count;  // unexamined bits in buf
    const int16_t *next = h->count + 1;
    for (;;) {
        while (left-- > 0) {
            offset |= buf & 1;
            buf >>= 1;
            int count = *next++;
            if (offset < count) {
                s->bit_buf = buf;
                s->bit_count = (s->bit_count - len) & 7;
                return h->symbol[index + offset];
            }
            index += count;
            offset = (offset - count) << 1;
            len++;
        }
        left = (MAXBITS + 1) - len;
        if (left == 0)
            break;
        buf = next_byte(s);
        if (left > 8)
            left = 8;
    }
    return -10;  // no code of 15 bits or less matches
}

// Builds h from the code lengths of n symbols. Returns 0 for a complete code
// (and for one where no symbol has a code), the number of unused codes of
// length 15 for an incomplete code, and a negative number for an
// over-subscribed one, whose symbol list is then left unfilled.
int construct(huff_table *h, const int16_t *length, int n)
{
    for (int len = 0; len <= MAXBITS; len++)
        h->count[len] = 0;
    for (int sym = 0; sym < n; sym++)
        h->count[length[sym]]++;
    if (h->count[0] == n)
        return 0;

    int left = 1;  // codes still free at the current length
    for (int len = 1; len <= MAXBITS; len++) {
        left <<= 1;
        left -= h->count[len];
        if (left < 0)
            return left;
    }

    int16_t offs[MAXBITS + 1];
    offs[1] = 0;
    for (int len = 1; len < MAXBITS; len++)
        offs[len + 1] = static_cast<int16_t>(offs[len] + h->count[len]);
    for (int sym = 0; sym < n; sym++)
        if (length[sym] != 0)
            h->symbol[offs[length[sym]]++] = static_cast<int16_t>(sym);
    return left;
}

// Copies a back-reference of len bytes from dist bytes back. When the source
// overlaps the bytes being produced they repeat, as DEFLATE requires: a
// distance of 1 repeats the last byte len times.
inline void copy_back(unsigned char *out, unsigned dist, unsigned len)
{
    const unsigned char *from = out - dist;
    if (dist >= len) {
        std::memcpy(out, from, len);
    } else if (dist == 1) {
        std::memset(out, *from, len);
    } else {
        for (unsigned i = 0; i < len; i++)
            out[i] = from[i];
    }
}

// The reservoir of the block decoding loop. It reads ahead up to 64 bits so
// that one refill per symbol serves a literal or a whole match (at most
// 15 + 5 + 15 + 13 = 48 bits), and it lives in registers: kept in the state,
// every store to the output could alias it and force it back to memory.
// Near the end of the input it holds everything that is left, so a read it
// cannot serve is one the byte-at-a-time reader could not serve either. The
// whole bytes it has not used go back to the input when the block ends.
struct lookahead {
    const unsigned char *src;
    uint32_t src_len;
    uint32_t src_pos;
    uint64_t buf;
    int cnt;
    std::jmp_buf *bail_out;  // the state's
};

inline lookahead lookahead_open(inflate_state *s)
{
    return {s->src, s->src_len, s->src_pos, static_cast<uint64_t>(s->bit_buf), s->bit_count,
            &s->bail_out};
}

// Leaves s as the byte-at-a-time reader would have it after the same bits.
inline void lookahead_close(const lookahead &r, inflate_state *s)
{
    s->src_pos = r.src_pos - static_cast<uint32_t>(r.cnt >> 3);
    s->bit_count = r.cnt & 7;
    s->bit_buf = static_cast<int>(r.buf & ((1u << s->bit_count) - 1));
}

// Refills the reservoir. True when eight bytes or more were left, so that
// the reservoir now holds 56 bits at least: enough for any literal or match,
// so no read until the next refill can run out of input.
inline bool lookahead_fill(lookahead &r)
{
    if (r.src_len - r.src_pos >= 8) {
        // One load of eight bytes; the whole bytes that fit are kept.
        uint64_t word;
        std::memcpy(&word, r.src + r.src_pos, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        word = __builtin_bswap64(word);
#endif
        r.buf |= word << r.cnt;
        r.src_pos += static_cast<uint32_t>((63 - r.cnt) >> 3);
        r.cnt |= 56;
        return true;
    }
    while (r.cnt <= 56 && r.src_pos < r.src_len) {
        r.buf |= static_cast<uint64_t>(r.src[r.src_pos++]) << r.cnt;
        r.cnt += 8;
    }
    return false;
}

inline unsigned lookahead_bits(lookahead &r, int need)
{
    if (r.cnt < need)
        std::longjmp(*r.bail_out, 1);
    unsigned val = static_cast<unsigned>(r.buf) & ((1u << need) - 1);
    r.buf >>= need;
    r.cnt -= need;
    return val;
}

// decode over the lookahead reservoir, with the same steps and results.
// Only near the end of the input can it hold fewer than 15 bits; a code
// still open when those are used up is a read past the end.
inline int lookahead_decode(lookahead &r, const huff_table &h)
{
    int offset = 0, index = 0;
    uint64_t buf = r.buf;
    const int limit = r.cnt < MAXBITS ? r.cnt : MAXBITS;
    for (int len = 1; len <= limit; len++) {
        offset |= static_cast<int>(buf & 1);
        buf >>= 1;
        int count = h.count[len];
        if (offset < count) {
            r.buf = buf;
            r.cnt -= len;
            return h.symbol[index + offset];
        }
        index += count;
        offset = (offset - count) << 1;
    }
    if (limit < MAXBITS)
        std::longjmp(*r.bail_out, 1);
    return -10;  // no code of 15 bits or less matches
}

// Decodes the literals and matches of one compressed block up to its
// end-of-block symbol. Returns 0 at the end of the block, 1 when the output
// would exceed the capacity, -10 for an invalid code or length symbol and
// -11 for a distance reaching back before the first output byte. The
// counting flavour writes nothing and checks no capacity.
template <bool counting>
int codes_run(inflate_state *s, const huff_table lencode, const huff_table distcode)
{
    lookahead r = lookahead_open(s);
    unsigned char *const dst = s->dst;
    const uint64_t cap = s->dst_cap;
    uint64_t count = s->dst_count;
    int ret;
    for (;;) {
        if (!lookahead_fill(r))
            s->dst_count = count;  // a read below may leave the call: keep the count
        int sym = lookahead_decode(r, lencode);
        if (sym < 256) {
            if (sym < 0) {
                ret = sym;  // invalid literal/length code
                break;
            }
            if (!counting) {
                if (count == cap) {
                    ret = 1;
                    break;
                }
                dst[count] = static_cast<unsigned char>(sym);
            }
            count++;
            continue;
        }
        if (sym == 256) {
            ret = 0;
            break;
        }

        sym -= 257;
        if (sym >= 29) {
            ret = -10;  // length symbols 286 and 287 exist only in the fixed code
            break;
        }
        unsigned len = static_cast<unsigned>(lens[sym]) + lookahead_bits(r, lext[sym]);
        int dsym = lookahead_decode(r, distcode);
        if (dsym < 0) {
            ret = dsym;  // invalid distance code
            break;
        }
        unsigned dist = static_cast<unsigned>(dists[dsym]) + lookahead_bits(r, dext[dsym]);
        if (dist > count) {
            ret = -11;  // distance too far back
            break;
        }
        if (!counting) {
            if (cap - count < len) {
                ret = 1;
                break;
            }
            copy_back(dst + count, dist, len);
        }
        count += len;
    }
    lookahead_close(r, s);
    s->dst_count = count;
    return ret;
}

int codes(inflate_state *s, const huff_table *lencode, const huff_table *distcode)
{
    if (count_only(s))
        return codes_run<true>(s, *lencode, *distcode);
    return codes_run<false>(s, *lencode, *distcode);
}

// Stored block: the rest of the current byte is dropped, then LEN, its ones'
// complement NLEN and LEN bytes to copy. Returns 0, 1 when the output would
// exceed the capacity, or -2 when NLEN does not match.
int stored(inflate_state *s)
{
    s->bit_buf = 0;
    s->bit_count = 0;
    if (s->src_len - s->src_pos < 4)
        bail(s);
    const unsigned char *p = s->src + s->src_pos;
    unsigned len = p[0] | (p[1] << 8);
    if (p[2] != (~len & 0xff) || p[3] != ((~len >> 8) & 0xff))
        return -2;  // NLEN is not the complement of LEN
    s->src_pos += 4;
    if (s->src_len - s->src_pos < len)
        bail(s);
    if (!count_only(s)) {
        if (s->dst_cap - s->dst_count < len)
            return 1;
        if (len > 0)
            std::memcpy(s->dst + s->dst_count, s->src + s->src_pos, len);
    }
    s->dst_count += len;
    s->src_pos += len;
    return 0;
}

// Block with the fixed codes; the tables are built the first time only.
int fixed(inflate_state *s)
{
    if (virgin) {
        int16_t lengths[FIXLCODES];
        int sym = 0;
        for (; sym < 144; sym++)
            lengths[sym] = 8;
        for (; sym < 256; sym++)
            lengths[sym] = 9;
        for (; sym < 280; sym++)
            lengths[sym] = 7;
        for (; sym < FIXLCODES; sym++)
            lengths[sym] = 8;
        construct(&lencode, lengths, FIXLCODES);
        for (sym = 0; sym < MAXDCODES; sym++)
            lengths[sym] = 5;
        construct(&distcode, lengths, MAXDCODES);
        virgin = 0;
    }
    return codes(s, &lencode, &distcode);
}

// A literal/length or distance code of a dynamic block is usable when it is
// complete, or when it is a single code of length 1 (an encoder with one
// symbol to send may describe it so).
bool dynamic_code_ok(const huff_table *h, int err, int n)
{
    return err == 0 || (err > 0 && h->count[0] + h->count[1] == n);
}

// Block with dynamic codes: the code lengths are themselves Huffman coded
// with a code-length code sent first. Returns what codes returns, or a data
// error: -3 too many lengths, -4 code-length code not complete, -5 repeat of
// a previous length before any, -6 repeat past the last length, -7 bad
// literal/length code, -8 bad distance code, -9 no end-of-block code.
int dynamic(inflate_state *s)
{
    int16_t lengths[MAXCODES];
    int16_t litcnt[MAXBITS + 1], litsym[MAXLCODES];
    int16_t dcnt[MAXBITS + 1], dsym[MAXDCODES];
    huff_table litlen = {litcnt, litsym};
    huff_table dist = {dcnt, dsym};

    int nlen = bits(s, 5) + 257;
    int ndist = bits(s, 5) + 1;
    int ncode = bits(s, 4) + 4;
    if (nlen > MAXLCODES || ndist > MAXDCODES)
        return -3;

    // The code-length code lives in the literal/length table for now.
    int index = 0;
    for (; index < ncode; index++)
        lengths[order[index]] = static_cast<int16_t>(bits(s, 3));
    for (; index < 19; index++)
        lengths[order[index]] = 0;
    if (construct(&litlen, lengths, 19) != 0)
        return -4;

    index = 0;
    while (index < nlen + ndist) {
        int sym = decode(s, &litlen);
        if (sym < 0)
            return sym;  // invalid code-length code
        if (sym < 16) {
            lengths[index++] = static_cast<int16_t>(sym);
            continue;
        }
        int16_t len = 0;
        int repeat;
        if (sym == 16) {
            if (index == 0)
                return -5;  // nothing to repeat
            len = lengths[index - 1];
            repeat = 3 + bits(s, 2);
        } else if (sym == 17) {
            repeat = 3 + bits(s, 3);
        } else {
            repeat = 11 + bits(s, 7);
        }
        if (index + repeat > nlen + ndist)
            return -6;  // repeat past the last length
        while (repeat-- > 0)
            lengths[index++] = len;
    }

    if (lengths[256] == 0)
        return -9;  // the block could never end
    int err = construct(&litlen, lengths, nlen);
    if (!dynamic_code_ok(&litlen, err, nlen))
        return -7;
    err = construct(&dist, lengths + nlen, ndist);
    if (!dynamic_code_ok(&dist, err, ndist))
        return -8;
    return codes(s, &litlen, &dist);
}

// Decodes blocks up to and including the final one. Returns 0 when the final
// block is complete, 1 when the output would exceed the capacity, a negative
// data error otherwise.
int blocks(inflate_state *s)
{
    int last;
    do {
        last = bits(s, 1);
        int type = bits(s, 2);
        int ret;
        if (type == 0)
            ret = stored(s);
        else if (type == 1)
            ret = fixed(s);
        else if (type == 2)
            ret = dynamic(s);
        else
            ret = -1;  // reserved block type
        if (ret != 0)
            return ret;
    } while (!last);
    return 0;
}

// What blocks_guarded returns when the input ran out: a failure of the call
// like a full output (1).
constexpr int BLOCKS_INPUT_ENDED = 2;

// blocks with the exit for running out of input established. The exit
// comes back here from inside blocks, while this frame is live; nothing of
// this frame is changed between the setjmp and the exit.
int blocks_guarded(inflate_state *s)
{
    if (setjmp(s->bail_out) != 0)
        return BLOCKS_INPUT_ENDED;
    return blocks(s);
}

}  // namespace

int inflate_decompress(const unsigned char *src, size_t src_len, unsigned char *dst,
                       size_t dst_cap, size_t *produced)
{
    inflate_work work;
    return inflate_decompress_work(src, src_len, dst, dst_cap, produced, &work);
}

int inflate_decompress_work(const unsigned char *src, size_t src_len, unsigned char *dst,
                            size_t dst_cap, size_t *produced, inflate_work *work)
{
    *produced = 0;
    work->consumed = 0;
    work->decoded = 0;
    work->input_ended = 0;
    if (src_len < 2 || dst_cap > INFLATE_MAX_CAPACITY)
        return -1;
    // Compression method 8 without a preset dictionary. The window size and
    // the check bits are not verified: producers that get them wrong still
    // write good data.
    work->consumed = 2;
    if ((src[0] & 0x0F) != 8 || (src[1] & 0x20) != 0)
        return -1;

    inflate_state s;
    s.dst = dst;
    s.dst_cap = static_cast<uint32_t>(dst_cap);
    s.dst_count = 0;
    s.src = src + 2;
    s.src_len = static_cast<uint32_t>(src_len - 2);
    s.src_pos = 0;
    s.bit_buf = 0;
    s.bit_count = 0;

    int ret = blocks_guarded(&s);
    work->decoded = s.dst_count;
    work->input_ended = ret == BLOCKS_INPUT_ENDED;
    work->consumed = ret == BLOCKS_INPUT_ENDED ? src_len : 2 + static_cast<size_t>(s.src_pos);
    if (ret > 0)
        return -1;
    // Complete, or a data error: what was decoded is the stream's content.
    *produced = static_cast<size_t>(s.dst_count);
    return 0;
}

// Paeth predictor: whichever of left, above and upper-left is closest to
// left + above - upper-left, preferring left, then above.
static int paeth(int a, int b, int c)
{
    int p = a + b - c;
    int pa = p > a ? p - a : a - p;
    int pb = p > b ? p - b : b - p;
    int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc)
        return a;
    if (pb <= pc)
        return b;
    return c;
}

int inflate_png_unfilter(unsigned char *data, size_t length, int columns)
{
    if (columns <= 0)
        return -1;
    size_t width = static_cast<size_t>(columns);
    size_t rows = length / (width + 1);
    // Row r is read from r * (width + 1) and written to r * width. Byte i of
    // a row is written no later than it is read, and the row above is
    // already in place below the current row's output, so one forward pass
    // works in place.
    for (size_t r = 0; r < rows; r++) {
        const unsigned char *in = data + r * (width + 1);
        int type = in[0];
        if (type > 4)
            return -1;
        in++;
        unsigned char *out = data + r * width;
        const unsigned char *up = r > 0 ? out - width : nullptr;
        for (size_t i = 0; i < width; i++) {
            int a = i > 0 ? out[i - 1] : 0;
            int b = up ? up[i] : 0;
            int c = up && i > 0 ? up[i - 1] : 0;
            int pred = 0;
            if (type == 1)
                pred = a;
            else if (type == 2)
                pred = b;
            else if (type == 3)
                pred = (a + b) / 2;
            else if (type == 4)
                pred = paeth(a, b, c);
            out[i] = static_cast<unsigned char>(in[i] + pred);
        }
    }
    return 0;
}
