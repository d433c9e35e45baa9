// SHA-256 (FIPS 180-4): a message schedule of 64 words per 64-byte block,
// 64 rounds over the working variables a..h, words read big-endian.
#include "crypt/sha256.h"

#include <cstring>

namespace {

// The constants K (FIPS 180-4, 4.2.2): the first 32 bits of the fractional
// parts of the cube roots of the first 64 primes.
const uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
    0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
    0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
    0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
    0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
    0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
    0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
    0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
    0xc67178f2,
};

// The initial hash value H(0) (5.3.3): the first 32 bits of the fractional
// parts of the square roots of the first 8 primes.
const uint32_t H0[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

uint32_t rotr(uint32_t x, int n)
{
    return (x >> n) | (x << (32 - n));
}

// The functions of 4.1.2.
uint32_t Ch(uint32_t x, uint32_t y, uint32_t z)
{
    return (x & y) ^ (~x & z);
}

uint32_t Maj(uint32_t x, uint32_t y, uint32_t z)
{
    return (x & y) ^ (x & z) ^ (y & z);
}

uint32_t Sigma0(uint32_t x)
{
    return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22);
}

uint32_t Sigma1(uint32_t x)
{
    return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25);
}

uint32_t sigma0(uint32_t x)
{
    return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3);
}

uint32_t sigma1(uint32_t x)
{
    return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10);
}

void sha256_block(uint32_t H[8], const unsigned char block[SHA256_BLOCK_SIZE])
{
    uint32_t W[64];
    for (int t = 0; t < 16; t++)
        W[t] = uint32_t(block[4 * t]) << 24 | uint32_t(block[4 * t + 1]) << 16 |
               uint32_t(block[4 * t + 2]) << 8 | uint32_t(block[4 * t + 3]);
    for (int t = 16; t < 64; t++)
        W[t] = sigma1(W[t - 2]) + W[t - 7] + sigma0(W[t - 15]) + W[t - 16];
    uint32_t a = H[0], b = H[1], c = H[2], d = H[3], e = H[4], f = H[5], g = H[6], h = H[7];
    for (int t = 0; t < 64; t++) {
        uint32_t T1 = h + Sigma1(e) + Ch(e, f, g) + K[t] + W[t];
        uint32_t T2 = Sigma0(a) + Maj(a, b, c);
        h = g;
        g = f;
        f = e;
        e = d + T1;
        d = c;
        c = b;
        b = a;
        a = T1 + T2;
    }
    H[0] += a;
    H[1] += b;
    H[2] += c;
    H[3] += d;
    H[4] += e;
    H[5] += f;
    H[6] += g;
    H[7] += h;
}

}  // namespace

void sha256_init(sha256_ctx *ctx)
{
    std::memcpy(ctx->H, H0, sizeof H0);
    ctx->length = 0;
}

int sha256_update(sha256_ctx *ctx, const unsigned char *data, size_t len)
{
    if (len == 0)
        return 0;
    if (!data || len > SHA256_MAX_LENGTH - ctx->length)
        return -1;
    size_t used = ctx->length % SHA256_BLOCK_SIZE;
    ctx->length += len;
    if (used > 0) {
        size_t take = SHA256_BLOCK_SIZE - used < len ? SHA256_BLOCK_SIZE - used : len;
        std::memcpy(ctx->block + used, data, take);
        data += take;
        len -= take;
        if (used + take < SHA256_BLOCK_SIZE)
            return 0;
        sha256_block(ctx->H, ctx->block);
    }
    for (; len >= SHA256_BLOCK_SIZE; data += SHA256_BLOCK_SIZE, len -= SHA256_BLOCK_SIZE)
        sha256_block(ctx->H, data);
    std::memcpy(ctx->block, data, len);
    return 0;
}

void sha256_final(sha256_ctx *ctx, unsigned char digest[SHA256_DIGEST_SIZE])
{
    // A 1 bit, zeros up to 56 bytes into a block, then the bit count as 64
    // bits big-endian (5.1.1).
    uint64_t bits = ctx->length << 3;
    size_t used = ctx->length % SHA256_BLOCK_SIZE;
    ctx->block[used++] = 0x80;
    if (used > SHA256_BLOCK_SIZE - 8) {
        std::memset(ctx->block + used, 0, SHA256_BLOCK_SIZE - used);
        sha256_block(ctx->H, ctx->block);
        used = 0;
    }
    std::memset(ctx->block + used, 0, SHA256_BLOCK_SIZE - 8 - used);
    for (int i = 0; i < 8; i++)
        ctx->block[SHA256_BLOCK_SIZE - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    sha256_block(ctx->H, ctx->block);
    for (int j = 0; j < 8; j++)
        for (int i = 0; i < 4; i++)
            digest[4 * j + i] = static_cast<unsigned char>(ctx->H[j] >> (24 - 8 * i));
}
