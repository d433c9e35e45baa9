#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "inflate/inflate.h"

#if ROREZIDE_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using bytes = std::vector<unsigned char>;

// Writes a DEFLATE bit stream: values least significant bit first, Huffman
// codes most significant bit first, as RFC 1951 packs them.
struct bit_writer {
    bytes out;
    uint32_t acc = 0;
    int n = 0;

    void put(uint32_t value, int count)
    {
        for (int i = 0; i < count; i++) {
            acc |= ((value >> i) & 1u) << n;
            if (++n == 8) {
                out.push_back(static_cast<unsigned char>(acc));
                acc = 0;
                n = 0;
            }
        }
    }
    void put_code(uint32_t code, int len)
    {
        for (int i = len - 1; i >= 0; i--)
            put((code >> i) & 1u, 1);
    }
    void align()
    {
        if (n > 0)
            put(0, 8 - n);
    }
    void put_bytes(const std::string &s)
    {
        for (unsigned char c : s)
            put(c, 8);
    }
    // The zlib header 0x78 0x9C, then everything written so far.
    bytes zlib() const
    {
        bytes z(out.size() + 2);
        z[0] = 0x78;
        z[1] = 0x9C;
        std::copy(out.begin(), out.end(), z.begin() + 2);
        if (n > 0)
            z.push_back(static_cast<unsigned char>(acc));
        return z;
    }
};

const int base_len[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int len_extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int base_dist[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                           33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int dist_extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// One symbol of the fixed literal/length code.
void fixed_sym(bit_writer &w, int sym)
{
    if (sym < 144)
        w.put_code(0x30 + sym, 8);
    else if (sym < 256)
        w.put_code(0x190 + sym - 144, 9);
    else if (sym < 280)
        w.put_code(sym - 256, 7);
    else
        w.put_code(0xC0 + sym - 280, 8);
}

void fixed_literals(bit_writer &w, const std::string &s)
{
    for (unsigned char c : s)
        fixed_sym(w, c);
}

// A match in the fixed code, using the last length and distance symbol whose
// base does not exceed the value.
void fixed_match(bit_writer &w, int len, int dist)
{
    int ls = 28;
    while (base_len[ls] > len)
        ls--;
    if (len == 258)
        ls = 28;
    fixed_sym(w, 257 + ls);
    w.put(len - base_len[ls], len_extra[ls]);
    int ds = 29;
    while (base_dist[ds] > dist)
        ds--;
    w.put_code(ds, 5);
    w.put(dist - base_dist[ds], dist_extra[ds]);
}

void fixed_block(bit_writer &w, bool final)
{
    w.put(final ? 1 : 0, 1);
    w.put(1, 2);
}

void stored_block(bit_writer &w, bool final, const std::string &data)
{
    w.put(final ? 1 : 0, 1);
    w.put(0, 2);
    w.align();
    uint32_t len = static_cast<uint32_t>(data.size());
    w.put(len, 16);
    w.put(~len & 0xFFFF, 16);
    w.put_bytes(data);
}

// Canonical codes for a list of code lengths (RFC 1951, 3.2.2).
std::vector<uint32_t> canonical(const std::vector<int> &lengths)
{
    int count[16] = {};
    for (int l : lengths)
        count[l]++;
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int l = 1; l < 16; l++) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t i = 0; i < lengths.size(); i++)
        if (lengths[i] != 0)
            codes[i] = next[lengths[i]]++;
    return codes;
}

// The header of a dynamic block: counts, the code-length code (all 19
// lengths sent) and a sequence of code-length symbols with their extra bits.
struct dyn_header {
    int nlen;
    int ndist;
    std::vector<int> cl;  // code-length code lengths, by symbol
    std::vector<std::pair<int, int>> seq;
};

// A complete code-length code that can send every symbol 0..18.
std::vector<int> full_cl()
{
    std::vector<int> cl(19, 5);
    cl[16] = 2;
    cl[17] = 3;
    cl[18] = 3;
    return cl;
}

std::vector<std::pair<int, int>> plain_seq(const std::vector<int> &lengths)
{
    std::vector<std::pair<int, int>> seq;
    for (int l : lengths)
        seq.push_back({l, 0});
    return seq;
}

void dynamic_block(bit_writer &w, bool final, const dyn_header &h)
{
    static const int order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                  11, 4,  12, 3, 13, 2, 14, 1, 15};
    w.put(final ? 1 : 0, 1);
    w.put(2, 2);
    w.put(h.nlen - 257, 5);
    w.put(h.ndist - 1, 5);
    w.put(19 - 4, 4);
    for (int i = 0; i < 19; i++)
        w.put(h.cl[order[i]], 3);
    std::vector<uint32_t> codes = canonical(h.cl);
    for (auto [sym, extra] : h.seq) {
        w.put_code(codes[sym], h.cl[sym]);
        if (sym == 16)
            w.put(extra, 2);
        else if (sym == 17)
            w.put(extra, 3);
        else if (sym == 18)
            w.put(extra, 7);
    }
}

// Literal/length and distance lengths sent plainly after the full
// code-length code.
dyn_header dyn_plain(const std::vector<int> &lit, const std::vector<int> &dist)
{
    std::vector<int> all = lit;
    all.insert(all.end(), dist.begin(), dist.end());
    return {static_cast<int>(lit.size()), static_cast<int>(dist.size()), full_cl(),
            plain_seq(all)};
}

struct result {
    int ret;
    size_t produced;
    std::string out;
};

// Decodes src (copied into a buffer of exactly its size, so the sanitizer
// build catches any read past it) with the given capacity.
result inflate_bytes(const bytes &src, size_t cap)
{
    bytes in(src);
    std::vector<unsigned char> dst(cap + 1, 0xEE);
    result r;
    r.produced = 777;
    r.ret = inflate_decompress(in.empty() ? nullptr : in.data(), in.size(), dst.data(), cap,
                               &r.produced);
    r.out.assign(reinterpret_cast<const char *>(dst.data()), r.ret == 0 ? r.produced : 0);
    EXPECT_EQ(dst[cap], 0xEE) << "wrote past the capacity";
    return r;
}

result inflate_count(const bytes &src)
{
    bytes in(src);
    result r;
    r.produced = 777;
    r.ret = inflate_decompress(in.data(), in.size(), INFLATE_COUNT_ONLY, 1u << 20, &r.produced);
    return r;
}

std::vector<int> lit_lengths(int n, std::initializer_list<std::pair<int, int>> set)
{
    std::vector<int> v(n, 0);
    for (auto [sym, len] : set)
        v[sym] = len;
    return v;
}

// ---- Header and framing ----------------------------------------------------

TEST(InflateHeader, EmptyStoredStreamWithAndWithoutTrailer)
{
    bytes base = {0x78, 0x9C, 0x01, 0x00, 0x00, 0xFF, 0xFF};
    result r = inflate_bytes(base, 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.produced, 0u);

    bytes good = base;
    good.insert(good.end(), {0x00, 0x00, 0x00, 0x01});
    bytes wrong = base;
    wrong.insert(wrong.end(), {0xDE, 0xAD, 0xBE, 0xEF, 0x55});
    for (const bytes &b : {good, wrong}) {
        r = inflate_bytes(b, 16);
        EXPECT_EQ(r.ret, 0);
        EXPECT_EQ(r.produced, 0u);
    }
}

TEST(InflateHeader, RefusedHeaders)
{
    bytes cm9 = {0x79, 0x9C, 0x01, 0x00, 0x00, 0xFF, 0xFF};
    bytes dict = {0x78, 0xBC, 0x01, 0x00, 0x00, 0xFF, 0xFF};
    bytes only_header = {0x78, 0x9C};
    bytes one = {0x78};
    for (const bytes &b : {cm9, dict, only_header, one, bytes{}}) {
        result r = inflate_bytes(b, 16);
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.produced, 0u);
    }
}

TEST(InflateHeader, CheckBitsAndWindowSizeAreNotVerified)
{
    // 0x7800 is not a multiple of 31; 0xF8 claims an impossible window.
    for (unsigned char first : {0x78, 0x08, 0xF8}) {
        bytes b = {first, 0x00, 0x01, 0x02, 0x00, 0xFD, 0xFF, 'o', 'k'};
        result r = inflate_bytes(b, 16);
        EXPECT_EQ(r.ret, 0);
        EXPECT_EQ(r.out, "ok");
    }
}

TEST(InflateHeader, CapacityCeiling)
{
    bit_writer w;
    stored_block(w, true, "abc");
    bytes z = w.zlib();
    unsigned char dst[8];
    size_t produced = 99;
    EXPECT_EQ(inflate_decompress(z.data(), z.size(), dst, size_t(1) << 30, &produced), 0);
    EXPECT_EQ(produced, 3u);
    EXPECT_EQ(std::memcmp(dst, "abc", 3), 0);

    produced = 99;
    EXPECT_EQ(inflate_decompress(z.data(), z.size(), dst, (size_t(1) << 30) + 1, &produced), -1);
    EXPECT_EQ(produced, 0u);
    // Refused before the source is looked at.
    produced = 99;
    EXPECT_EQ(inflate_decompress(nullptr, 100, dst, (size_t(1) << 30) + 1, &produced), -1);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(inflate_decompress(z.data(), z.size(), INFLATE_COUNT_ONLY, (size_t(1) << 30) + 1,
                                 &produced),
              -1);
}

// ---- Stored blocks ---------------------------------------------------------

TEST(InflateStored, ExactCapacityAndOneLess)
{
    bit_writer w;
    stored_block(w, false, "hello ");
    stored_block(w, true, "world");
    bytes z = w.zlib();
    result r = inflate_bytes(z, 11);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "hello world");
    r = inflate_bytes(z, 10);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
    r = inflate_count(z);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.produced, 11u);
}

TEST(InflateStored, FollowsCompressedBlockMidByte)
{
    // The stored block starts at the next byte boundary after the fixed one.
    bit_writer w;
    fixed_block(w, false);
    fixed_literals(w, "a");
    fixed_sym(w, 256);
    stored_block(w, true, "bc");
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "abc");
}

TEST(InflateStored, ComplementMismatchIsDataError)
{
    bit_writer w;
    stored_block(w, false, "abc");
    w.put(1, 1);
    w.put(0, 2);
    w.align();
    w.put(2, 16);
    w.put(0xFFFD ^ 0x0100, 16);  // high byte of NLEN wrong
    w.put_bytes("xy");
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "abc");
}

TEST(InflateStored, ShortInput)
{
    // LEN/NLEN cut, then data shorter than LEN.
    bytes cut = {0x78, 0x9C, 0x01, 0x05, 0x00, 0xFA};
    bytes short_data = {0x78, 0x9C, 0x01, 0x05, 0x00, 0xFA, 0xFF, 'a', 'b', 'c', 'd'};
    for (const bytes &b : {cut, short_data}) {
        result r = inflate_bytes(b, 16);
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.produced, 0u);
        EXPECT_EQ(inflate_count(b).ret, -1);
    }
}

// ---- Fixed blocks ----------------------------------------------------------

TEST(InflateFixed, LiteralsAndOverlappingMatches)
{
    bit_writer w;
    fixed_block(w, true);
    fixed_literals(w, "x");
    fixed_match(w, 10, 1);  // repeats the last byte
    fixed_literals(w, "abc");
    fixed_match(w, 10, 3);  // overlaps the bytes it produces
    fixed_match(w, 4, 24);  // distance reaching the first byte
    fixed_literals(w, "\xff\x90");
    fixed_sym(w, 256);
    std::string want = std::string(11, 'x') + "abc" + "abcabcabca" + "xxxx" + "\xff\x90";
    bytes z = w.zlib();
    result r = inflate_bytes(z, want.size());
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, want);
    r = inflate_bytes(z, want.size() - 1);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
    r = inflate_count(z);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.produced, want.size());
}

TEST(InflateFixed, LongestMatchBothWays)
{
    // 258 as symbol 285, and as symbol 284 with all five extra bits set.
    bit_writer w;
    fixed_block(w, true);
    fixed_literals(w, "z");
    fixed_match(w, 258, 1);
    fixed_sym(w, 284);
    w.put(31, 5);
    w.put_code(0, 5);
    fixed_sym(w, 256);
    result r = inflate_bytes(w.zlib(), 1000);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, std::string(1 + 258 + 258, 'z'));
}

TEST(InflateFixed, MatchCapacityIsCheckedAsAWhole)
{
    bit_writer w;
    fixed_block(w, true);
    fixed_literals(w, "ab");
    fixed_match(w, 6, 2);
    fixed_sym(w, 256);
    bytes z = w.zlib();
    EXPECT_EQ(inflate_bytes(z, 8).out, "abababab");
    result r = inflate_bytes(z, 7);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
}

TEST(InflateFixed, DistanceBeforeOutputIsDataError)
{
    bit_writer w;
    fixed_block(w, true);
    fixed_match(w, 3, 1);
    fixed_sym(w, 256);
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.produced, 0u);
    // Counting mode makes the same check.
    EXPECT_EQ(inflate_count(w.zlib()).produced, 0u);

    bit_writer w2;
    fixed_block(w2, true);
    fixed_literals(w2, "abc");
    fixed_match(w2, 3, 4);
    fixed_sym(w2, 256);
    r = inflate_bytes(w2.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "abc");
}

TEST(InflateFixed, SymbolsWithoutMeaningAreDataErrors)
{
    for (int sym : {286, 287}) {
        bit_writer w;
        fixed_block(w, true);
        fixed_literals(w, "ok");
        fixed_sym(w, sym);
        result r = inflate_bytes(w.zlib(), 16);
        EXPECT_EQ(r.ret, 0);
        EXPECT_EQ(r.out, "ok");
    }
}

TEST(InflateFixed, DistanceCode30IsInvalidOnlyAfter15Bits)
{
    auto stream = [](int pad_bits) {
        bit_writer w;
        fixed_block(w, true);
        fixed_literals(w, "q");
        fixed_sym(w, 257);
        w.put_code(30, 5);
        w.put(0, pad_bits);
        return w.zlib();
    };
    // 10 more bits complete 15: an invalid code, so a data error.
    result r = inflate_bytes(stream(10), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "q");
    // 3 + 8 + 7 + 5 = 23 bits precede the pad; with 7 more the stream is
    // zero-filled to 32 bits, 14 bits of distance code in all.
    r = inflate_bytes(stream(7), 16);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
}

TEST(InflateFixed, ReservedBlockTypeAfterAGoodBlock)
{
    bit_writer w;
    fixed_block(w, false);
    fixed_literals(w, "first");
    fixed_sym(w, 256);
    w.put(1, 1);
    w.put(3, 2);
    w.put(0, 16);
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "first");
    EXPECT_EQ(inflate_count(w.zlib()).produced, 5u);
}

TEST(InflateFixed, CutMidBlock)
{
    bit_writer w;
    fixed_block(w, true);
    fixed_literals(w, "a fairly long run of literals");
    fixed_sym(w, 256);
    bytes z = w.zlib();
    z.resize(z.size() - 6);
    result r = inflate_bytes(z, 64);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
    EXPECT_EQ(inflate_count(z).ret, -1);
}

TEST(InflateFixed, NoFinalBlock)
{
    bit_writer w;
    fixed_block(w, false);
    fixed_literals(w, "abc");
    fixed_sym(w, 256);
    result r = inflate_bytes(w.zlib(), 64);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
}

// ---- Work report -------------------------------------------------------------

TEST(InflateWork, BytesReadAndDecodedWhateverTheResult)
{
    std::string text;
    for (int i = 0; i < 20; i++)
        text += "0123456789";
    bit_writer w;
    fixed_block(w, true);
    fixed_literals(w, text);  // 8 bits each
    fixed_sym(w, 256);
    bytes z = w.zlib();
    size_t stream = z.size();
    z.insert(z.end(), {0xDE, 0xAD, 0xBE, 0xEF});  // a trailer, never read
    std::vector<unsigned char> dst(256);
    size_t produced = 0;
    inflate_work work;

    EXPECT_EQ(inflate_decompress_work(z.data(), z.size(), dst.data(), 256, &produced, &work), 0);
    EXPECT_EQ(produced, 200u);
    EXPECT_EQ(work.decoded, 200u);
    EXPECT_EQ(work.consumed, stream);
    EXPECT_EQ(work.input_ended, 0);

    // A full output: what was written up to the capacity, and less input.
    EXPECT_EQ(inflate_decompress_work(z.data(), z.size(), dst.data(), 150, &produced, &work), -1);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(work.decoded, 150u);
    EXPECT_LT(work.consumed, stream);
    EXPECT_EQ(work.input_ended, 0);

    // Input cut inside the block: every byte was read, and the literals
    // that L bytes of block data hold (3 header bits, then 8 bits each)
    // were decoded, written or counted.
    size_t cut = 120;
    for (unsigned char *dst_or_count : {dst.data(), INFLATE_COUNT_ONLY}) {
        EXPECT_EQ(inflate_decompress_work(z.data(), cut, dst_or_count, 256, &produced, &work), -1);
        EXPECT_EQ(produced, 0u);
        EXPECT_EQ(work.decoded, cut - 2 - 1);
        EXPECT_EQ(work.consumed, cut);
        EXPECT_EQ(work.input_ended, 1);
    }

    // A refused header reads the two header bytes only.
    bytes cm9 = {0x79, 0x9C, 0x01, 0x00, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(inflate_decompress_work(cm9.data(), cm9.size(), dst.data(), 16, &produced, &work),
              -1);
    EXPECT_EQ(work.consumed, 2u);
    EXPECT_EQ(work.input_ended, 0);
}

// ---- Dynamic blocks --------------------------------------------------------

// Decodes w's stream after a stored block "pre" so that a data error (0 with
// 3 bytes) is told apart from success and from running out of input.
result after_prefix(void (*body)(bit_writer &))
{
    bit_writer w;
    stored_block(w, false, "pre");
    body(w);
    return inflate_bytes(w.zlib(), 64);
}

void expect_data_error(const result &r)
{
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "pre");
}

TEST(InflateDynamic, SmallCompleteCodes)
{
    // 'a' 'b' end-of-block and length 3 at two bits; one distance code of
    // length 1 (incomplete but accepted).
    std::vector<int> lit = lit_lengths(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}});
    std::vector<int> dist = {1};
    bit_writer w;
    dynamic_block(w, true, dyn_plain(lit, dist));
    std::vector<uint32_t> c = canonical(lit);
    w.put_code(c['a'], 2);
    w.put_code(c['b'], 2);
    w.put_code(c[257], 2);
    w.put_code(0, 1);
    w.put_code(c[256], 2);
    bytes z = w.zlib();
    result r = inflate_bytes(z, 5);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "abbbb");
    EXPECT_EQ(inflate_bytes(z, 4).ret, -1);
    EXPECT_EQ(inflate_count(z).produced, 5u);
}

TEST(InflateDynamic, RepeatsAcrossIntoDistanceLengths)
{
    // Lengths 2 for symbols 253..256 and distance symbols 0..3; the repeat
    // carries from the literal/length part into the distance part.
    dyn_header h{257, 4, full_cl(), {{18, 127}, {18, 104}, {2, 0}, {2, 0}, {16, 3}}};
    bit_writer w;
    dynamic_block(w, true, h);
    std::vector<int> lit = lit_lengths(257, {{253, 2}, {254, 2}, {255, 2}, {256, 2}});
    std::vector<uint32_t> c = canonical(lit);
    w.put_code(c[253], 2);
    w.put_code(c[255], 2);
    w.put_code(c[256], 2);
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "\xfd\xff");
}

TEST(InflateDynamic, SingleLengthOneCodeIsAccepted)
{
    // A block holding only its end, then a final stored block.
    bit_writer w;
    dynamic_block(w, false, dyn_plain(lit_lengths(257, {{256, 1}}), {0}));
    w.put_code(0, 1);
    stored_block(w, true, "xy");
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "xy");
}

TEST(InflateDynamic, NoDistanceCodeUntilOneIsUsed)
{
    std::vector<int> lit = lit_lengths(258, {{'m', 1}, {256, 2}, {257, 2}});
    std::vector<uint32_t> c = canonical(lit);
    bit_writer w;
    dynamic_block(w, true, dyn_plain(lit, {0, 0}));
    w.put_code(c['m'], 1);
    w.put_code(c['m'], 1);
    w.put_code(c[256], 2);
    result r = inflate_bytes(w.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "mm");

    bit_writer u;
    dynamic_block(u, true, dyn_plain(lit, {0, 0}));
    u.put_code(c['m'], 1);
    u.put_code(c[257], 2);
    u.put(0, 15);
    r = inflate_bytes(u.zlib(), 16);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.out, "m");
}

TEST(InflateDynamic, TooManyLengths)
{
    expect_data_error(after_prefix([](bit_writer &w) {
        w.put(1, 1);
        w.put(2, 2);
        w.put(30, 5);  // 287 literal/length codes
        w.put(0, 5);
        w.put(0, 4);
    }));
    expect_data_error(after_prefix([](bit_writer &w) {
        w.put(1, 1);
        w.put(2, 2);
        w.put(0, 5);
        w.put(30, 5);  // 31 distance codes
        w.put(0, 4);
    }));
}

TEST(InflateDynamic, CodeLengthCodeMustBeComplete)
{
    auto with_cl = [](std::vector<int> cl) {
        return [cl](bit_writer &w) {
            dyn_header h{257, 1, cl, {}};
            dynamic_block(w, true, h);
        };
    };
    std::vector<int> over(19, 1);
    std::vector<int> incomplete(19, 0);
    incomplete[0] = 1;
    incomplete[8] = 2;
    // Nothing after the code-length code is needed to know it is bad.
    bit_writer w1;
    stored_block(w1, false, "pre");
    with_cl(over)(w1);
    expect_data_error(inflate_bytes(w1.zlib(), 64));
    bit_writer w2;
    stored_block(w2, false, "pre");
    with_cl(incomplete)(w2);
    expect_data_error(inflate_bytes(w2.zlib(), 64));
}

TEST(InflateDynamic, EmptyCodeLengthCodeFailsOnFirstUse)
{
    auto header = [](bit_writer &w) {
        stored_block(w, false, "pre");
        dynamic_block(w, true, dyn_header{257, 1, std::vector<int>(19, 0), {}});
    };
    bit_writer w;
    header(w);
    w.put(0, 15);
    expect_data_error(inflate_bytes(w.zlib(), 64));
    // Without 15 bits to read, the input runs out first.
    bit_writer u;
    header(u);
    bytes z = u.zlib();
    result r = inflate_bytes(z, 64);
    EXPECT_EQ(r.ret, -1);
    EXPECT_EQ(r.produced, 0u);
}

TEST(InflateDynamic, BadRepeats)
{
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_header{257, 1, full_cl(), {{16, 0}}});
    }));
    // 138 + 120 = 258 lengths requested where 257 + 1 remain after one.
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_header{257, 1, full_cl(), {{1, 0}, {18, 127}, {18, 109}}});
    }));
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_header{257, 1, full_cl(), {{18, 127}, {18, 108}, {17, 0}}});
    }));
    // One length too many on codes that would otherwise be good: 255 zeros,
    // length 1 for symbol 255, then three more 1s where two remain.
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true,
                      dyn_header{257, 1, full_cl(), {{18, 127}, {18, 106}, {1, 0}, {16, 0}}});
    }));
}

TEST(InflateDynamic, BadLiteralLengthCodes)
{
    // No end-of-block code.
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_plain(lit_lengths(257, {{'a', 1}, {'b', 1}}), {1}));
    }));
    // Over-subscribed.
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_plain(lit_lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), {1}));
    }));
    // Incomplete with codes longer than 1.
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_plain(lit_lengths(257, {{'a', 2}, {256, 2}}), {1}));
    }));
}

TEST(InflateDynamic, BadDistanceCodes)
{
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_plain(lit_lengths(257, {{'a', 1}, {256, 1}}), {1, 1, 1}));
    }));
    expect_data_error(after_prefix([](bit_writer &w) {
        dynamic_block(w, true, dyn_plain(lit_lengths(257, {{'a', 1}, {256, 1}}), {2, 2, 0}));
    }));
}

// ---- Robustness over damaged input -----------------------------------------

// Every prefix of a valid stream either lacks the end of its final block
// (-1, nothing produced) or holds it (0, all of the data).
void truncation_sweep(const bytes &z, const std::string &want)
{
    bool complete_seen = false;
    for (size_t len = 0; len <= z.size(); len++) {
        bytes prefix(z.begin(), z.begin() + len);
        result r = inflate_bytes(prefix, want.size());
        if (r.ret == 0) {
            complete_seen = true;
            ASSERT_EQ(r.out, want) << "prefix " << len;
        } else {
            ASSERT_FALSE(complete_seen) << "prefix " << len;
            ASSERT_EQ(r.ret, -1);
            ASSERT_EQ(r.produced, 0u);
        }
    }
    EXPECT_TRUE(complete_seen);
}

TEST(InflateRobust, TruncationOfHandBuiltStreams)
{
    bit_writer w;
    fixed_block(w, false);
    fixed_literals(w, "abc");
    fixed_match(w, 30, 3);
    fixed_sym(w, 256);
    stored_block(w, false, "stored");
    std::vector<int> lit = lit_lengths(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}});
    dynamic_block(w, true, dyn_plain(lit, {1}));
    std::vector<uint32_t> c = canonical(lit);
    w.put_code(c['b'], 2);
    w.put_code(c[257], 2);
    w.put_code(0, 1);
    w.put_code(c[256], 2);
    std::string want = "abc" + std::string("abcabcabcabcabcabcabcabcabcabc") + "stored" + "bbbb";
    truncation_sweep(w.zlib(), want);
}

}  // namespace

#if ROREZIDE_HAVE_ZLIB
namespace {

std::string random_data(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

// Content-stream-like text with dictionaries: repetitive at short and long
// distances, as object streams are.
std::string text_data(size_t n, uint32_t seed)
{
    static const char *words[] = {"BT", "ET", "Tf", "Td", "TJ", "cm", "re", "f", "q", "Q",
                                  "/F1", "/Type", "/Page", "/Parent", "/Resources",
                                  "/MediaBox", "0", "1", "12", "612", "792", "R", "obj",
                                  "endobj", "<<", ">>", "[", "]", "(Hello)", "(world)"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) {
        if (rng() % 50 == 0 && s.size() > 40000) {
            size_t from = s.size() - 30000 - rng() % 2000;
            s.append(s, from, 300 + rng() % 200);
        }
        s += words[rng() % (sizeof words / sizeof *words)];
        s += (rng() % 8 == 0) ? '\n' : ' ';
        if (rng() % 97 == 0)
            s += std::to_string(rng());
    }
    s.resize(n);
    return s;
}

bytes zlib_compress(const std::string &data, int level)
{
    uLongf len = compressBound(data.size());
    bytes out(len);
    EXPECT_EQ(compress2(out.data(), &len, reinterpret_cast<const Bytef *>(data.data()),
                        data.size(), level),
              Z_OK);
    out.resize(len);
    return out;
}

bytes zlib_strategy(const std::string &data, int level, int strategy)
{
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, 15, 8, strategy), Z_OK);
    bytes out(deflateBound(&zs, data.size()));
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

void expect_round_trip(const bytes &z, const std::string &want)
{
    result r = inflate_bytes(z, want.size());
    ASSERT_EQ(r.ret, 0);
    ASSERT_EQ(r.produced, want.size());
    EXPECT_TRUE(r.out == want) << "output differs";
    result c = inflate_count(z);
    EXPECT_EQ(c.ret, 0);
    EXPECT_EQ(c.produced, want.size());
    if (!want.empty()) {
        r = inflate_bytes(z, want.size() - 1);
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.produced, 0u);
    }
}

TEST(InflateZlib, CompressLevels)
{
    std::vector<std::string> inputs = {"", "a", random_data(100000, 1), text_data(300000, 2),
                                       std::string(70000, 'x')};
    for (const std::string &data : inputs)
        for (int level : {0, 1, 6, 9}) {
            SCOPED_TRACE("size " + std::to_string(data.size()) + " level " +
                         std::to_string(level));
            expect_round_trip(zlib_compress(data, level), data);
        }
}

TEST(InflateZlib, Strategies)
{
    std::vector<std::string> inputs = {random_data(50000, 3), text_data(200000, 4)};
    for (const std::string &data : inputs)
        for (int strategy : {Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED}) {
            SCOPED_TRACE("strategy " + std::to_string(strategy));
            expect_round_trip(zlib_strategy(data, 6, strategy), data);
        }
}

TEST(InflateZlib, ManySmallStreams)
{
    // Short streams exercise block ends near the end of the input.
    std::mt19937 rng(5);
    for (int i = 0; i < 300; i++) {
        std::string data = text_data(1 + rng() % 600, 100 + i);
        if (i % 3 == 0)
            data = random_data(rng() % 200, 200 + i);
        expect_round_trip(zlib_compress(data, static_cast<int>(rng() % 10)), data);
    }
}

TEST(InflateZlib, TruncationSweep)
{
    std::string text = text_data(3000, 6);
    truncation_sweep(zlib_compress(text, 6), text);
    truncation_sweep(zlib_compress(text, 0), text);
    truncation_sweep(zlib_strategy(text, 6, Z_FIXED), text);
}

TEST(InflateZlib, DamagedStreamsStayInBounds)
{
    // Flipped bytes give 0 or -1 and never reach outside either buffer;
    // the sanitizer build checks the reads.
    std::string text = text_data(4000, 7);
    bytes z = zlib_compress(text, 6);
    std::mt19937 rng(8);
    for (int i = 0; i < 3000; i++) {
        bytes bad = z;
        int flips = 1 + rng() % 3;
        for (int f = 0; f < flips; f++)
            bad[2 + rng() % (bad.size() - 2)] ^= static_cast<unsigned char>(1 + rng() % 255);
        result r = inflate_bytes(bad, text.size());
        ASSERT_TRUE(r.ret == 0 || r.ret == -1);
        ASSERT_LE(r.produced, text.size());
        if (r.ret == -1) {
            ASSERT_EQ(r.produced, 0u);
        }
        result c = inflate_count(bad);
        // Counting agrees with decoding whenever the output fitted.
        if (r.ret == 0) {
            ASSERT_EQ(c.ret, 0);
            ASSERT_EQ(c.produced, r.produced);
        }
    }
}

}  // namespace
#endif

// ---- PNG predictors --------------------------------------------------------

namespace {

std::vector<unsigned char> unfilter(std::vector<unsigned char> v, int columns, int *ret)
{
    *ret = inflate_png_unfilter(v.data(), v.size(), columns);
    return v;
}

TEST(InflatePng, ColumnsAndLength)
{
    int ret = 0;
    std::vector<unsigned char> v = {0, 1, 2, 3};
    EXPECT_EQ(inflate_png_unfilter(v.data(), v.size(), 0), -1);
    EXPECT_EQ(inflate_png_unfilter(v.data(), v.size(), -3), -1);
    EXPECT_EQ(inflate_png_unfilter(nullptr, 0, 3), 0);
    // Shorter than one row: nothing changes.
    std::vector<unsigned char> out = unfilter({1, 5, 6}, 3, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(out, (std::vector<unsigned char>{1, 5, 6}));
}

TEST(InflatePng, SubAndUpRowsCompact)
{
    int ret = 0;
    // Type 1 then type 2 over three columns, then a partial row.
    std::vector<unsigned char> out = unfilter({1, 10, 5, 250, 2, 1, 2, 10, 9}, 3, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 6),
              (std::vector<unsigned char>{10, 15, 9, 11, 17, 19}));
}

TEST(InflatePng, NoneRowIsCompactedToo)
{
    int ret = 0;
    std::vector<unsigned char> out = unfilter({0, 7, 8, 0, 9, 3}, 2, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 4),
              (std::vector<unsigned char>{7, 8, 9, 3}));
}

TEST(InflatePng, Average)
{
    int ret = 0;
    // Row 0 (type 0): 100 200 50 / 250 250.
    // Row 1 (type 3): (0+100)/2=50 -> 5+50=55; (55+200)/2=127 -> 1+127=128;
    // (128+50)/2=89 -> 0+89=89.
    std::vector<unsigned char> out = unfilter({0, 100, 200, 50, 3, 5, 1, 0}, 3, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 6),
              (std::vector<unsigned char>{100, 200, 50, 55, 128, 89}));
    // a + b above 255: (200+250)/2 = 225, not (450 mod 256)/2 = 97.
    // i=0: (0+250)/2=125 -> 75+125=200; i=1: (200+250)/2=225 -> 0+225=225.
    out = unfilter({0, 250, 250, 3, 75, 0}, 2, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 4),
              (std::vector<unsigned char>{250, 250, 200, 225}));
}

TEST(InflatePng, Paeth)
{
    int ret = 0;
    // Above 55 128 89, each pick b:
    //   a=0 b=55 c=0:     p=55  pa=55 pb=0 pc=55 -> 55;  3+55=58
    //   a=58 b=128 c=55:  p=131 pa=73 pb=3 pc=76 -> 128; 2+128=130
    //   a=130 b=89 c=128: p=91  pa=39 pb=2 pc=37 -> 89;  250+89=339 -> 83
    std::vector<unsigned char> out = unfilter({0, 55, 128, 89, 4, 3, 2, 250}, 3, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 6),
              (std::vector<unsigned char>{55, 128, 89, 58, 130, 83}));
    // Picks a: above 5 9.
    //   a=0 b=5 c=0:  p=5  pa=5 pb=0 pc=5  -> b; 7+5=12
    //   a=12 b=9 c=5: p=16 pa=4 pb=7 pc=11 -> a; 0+12=12
    out = unfilter({0, 5, 9, 4, 7, 0}, 2, &ret);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 4),
              (std::vector<unsigned char>{5, 9, 12, 12}));
    // Picks c: above 50 10.
    //   a=0 b=50 c=0:   p=50 pa=50 pb=0 pc=50  -> b; 40+50=90
    //   a=90 b=10 c=50: p=50 pa=40 pb=40 pc=0  -> c; 7+50=57
    out = unfilter({0, 50, 10, 4, 40, 7}, 2, &ret);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 4),
              (std::vector<unsigned char>{50, 10, 90, 57}));
    // First row: b and c are 0, so Paeth is the left byte.
    out = unfilter({4, 9, 1, 2}, 3, &ret);
    EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.begin() + 3),
              (std::vector<unsigned char>{9, 10, 12}));
}

TEST(InflatePng, UnknownFilterTypeStopsAfterEarlierRows)
{
    int ret = 0;
    std::vector<unsigned char> out = unfilter({1, 1, 1, 5, 9, 9}, 2, &ret);
    EXPECT_EQ(ret, -1);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
}

}  // namespace
