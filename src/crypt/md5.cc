// MD5 (RFC 1321): four rounds of sixteen operations over each 64-byte block,
// the message words read little-endian.
#include "crypt/md5.h"

#include <cstring>

namespace {

// T[i] is the integer part of 2^32 * |sin(i + 1)| (RFC 1321, 3.4).
const uint32_t T[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391,
};

// The left rotation s of each operation: four amounts per round, in turn.
const int S[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The initial A, B, C, D (RFC 1321, 3.3).
const uint32_t IV[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

uint32_t rotl(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// The message word operation i of a round reads: round 1 takes the words in
// order, the others stride through them by 5, 3 and 7.
int word_index(int round, int i)
{
    switch (round) {
    case 0:
        return i;
    case 1:
        return (1 + 5 * i) % 16;
    case 2:
        return (5 + 3 * i) % 16;
    default:
        return (7 * i) % 16;
    }
}

// The auxiliary functions F, G, H and I, one per round.
uint32_t round_function(int round, uint32_t x, uint32_t y, uint32_t z)
{
    switch (round) {
    case 0:
        return (x & y) | (~x & z);
    case 1:
        return (x & z) | (y & ~z);
    case 2:
        return x ^ y ^ z;
    default:
        return y ^ (x | ~z);
    }
}

void md5_block(uint32_t state[4], const unsigned char block[MD5_BLOCK_SIZE])
{
    uint32_t X[16];
    for (int j = 0; j < 16; j++)
        X[j] = uint32_t(block[4 * j]) | uint32_t(block[4 * j + 1]) << 8 |
               uint32_t(block[4 * j + 2]) << 16 | uint32_t(block[4 * j + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int round = 0; round < 4; round++) {
        for (int i = 0; i < 16; i++) {
            // a = b + ((a + f(b,c,d) + X[k] + T[i]) <<< s), then the words
            // turn: the next operation writes what was d.
            uint32_t sum = a + round_function(round, b, c, d) + X[word_index(round, i)] +
                           T[16 * round + i];
            a = d;
            d = c;
            c = b;
            b = b + rotl(sum, S[round][i % 4]);
        }
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void md5_init(md5_ctx *ctx)
{
    std::memcpy(ctx->state, IV, sizeof IV);
    ctx->length = 0;
}

int md5_update(md5_ctx *ctx, const unsigned char *data, size_t len)
{
    if (len == 0)
        return 0;
    if (!data)
        return -1;
    size_t used = ctx->length % MD5_BLOCK_SIZE;
    ctx->length += len;
    if (used > 0) {
        size_t take = MD5_BLOCK_SIZE - used < len ? MD5_BLOCK_SIZE - used : len;
        std::memcpy(ctx->block + used, data, take);
        data += take;
        len -= take;
        if (used + take < MD5_BLOCK_SIZE)
            return 0;
        md5_block(ctx->state, ctx->block);
    }
    for (; len >= MD5_BLOCK_SIZE; data += MD5_BLOCK_SIZE, len -= MD5_BLOCK_SIZE)
        md5_block(ctx->state, data);
    std::memcpy(ctx->block, data, len);
    return 0;
}

void md5_final(md5_ctx *ctx, unsigned char digest[MD5_DIGEST_SIZE])
{
    // A 1 bit, zeros up to 56 bytes into a block, then the bit count as 64
    // bits little-endian.
    uint64_t bits = ctx->length << 3;
    size_t used = ctx->length % MD5_BLOCK_SIZE;
    ctx->block[used++] = 0x80;
    if (used > MD5_BLOCK_SIZE - 8) {
        std::memset(ctx->block + used, 0, MD5_BLOCK_SIZE - used);
        md5_block(ctx->state, ctx->block);
        used = 0;
    }
    std::memset(ctx->block + used, 0, MD5_BLOCK_SIZE - 8 - used);
    for (int i = 0; i < 8; i++)
        ctx->block[MD5_BLOCK_SIZE - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
    md5_block(ctx->state, ctx->block);
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++)
            digest[4 * j + i] = static_cast<unsigned char>(ctx->state[j] >> (8 * i));
}
