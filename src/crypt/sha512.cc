// SHA-512 (FIPS 180-4): a message schedule of 80 64-bit words per 128-byte
// block, 80 rounds over the working variables a..h, words read big-endian.
// SHA-384 is SHA-512 from other initial values, cut to six words.
#include "crypt/sha512.h"

#include <cstring>

namespace {

// The constants K (FIPS 180-4, 4.2.3): the first 64 bits of the fractional
// parts of the cube roots of the first 80 primes.
const uint64_t K[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817,
};

// The initial hash values H(0): SHA-512's (5.3.5) from the square roots of
// the first 8 primes, SHA-384's (5.3.4) from those of the 9th to 16th.
const uint64_t H0_512[8] = {
    0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
    0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179,
};
const uint64_t H0_384[8] = {
    0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
    0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4,
};

uint64_t rotr(uint64_t x, int n)
{
    return (x >> n) | (x << (64 - n));
}

// The functions of 4.1.3.
uint64_t Ch(uint64_t x, uint64_t y, uint64_t z)
{
    return (x & y) ^ (~x & z);
}

uint64_t Maj(uint64_t x, uint64_t y, uint64_t z)
{
    return (x & y) ^ (x & z) ^ (y & z);
}

uint64_t Sigma0(uint64_t x)
{
    return rotr(x, 28) ^ rotr(x, 34) ^ rotr(x, 39);
}

uint64_t Sigma1(uint64_t x)
{
    return rotr(x, 14) ^ rotr(x, 18) ^ rotr(x, 41);
}

uint64_t sigma0(uint64_t x)
{
    return rotr(x, 1) ^ rotr(x, 8) ^ (x >> 7);
}

uint64_t sigma1(uint64_t x)
{
    return rotr(x, 19) ^ rotr(x, 61) ^ (x >> 6);
}

void sha512_block(uint64_t H[8], const unsigned char block[SHA512_BLOCK_SIZE])
{
    uint64_t W[80];
    for (int t = 0; t < 16; t++) {
        W[t] = 0;
        for (int i = 0; i < 8; i++)
            W[t] = W[t] << 8 | block[8 * t + i];
    }
    for (int t = 16; t < 80; t++)
        W[t] = sigma1(W[t - 2]) + W[t - 7] + sigma0(W[t - 15]) + W[t - 16];
    uint64_t a = H[0], b = H[1], c = H[2], d = H[3], e = H[4], f = H[5], g = H[6], h = H[7];
    for (int t = 0; t < 80; t++) {
        uint64_t T1 = h + Sigma1(e) + Ch(e, f, g) + K[t] + W[t];
        uint64_t T2 = Sigma0(a) + Maj(a, b, c);
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

// Pads the message (5.1.2: a 1 bit, zeros up to 112 bytes into a block, the
// bit count as 128 bits big-endian) and writes the first words of the
// result, `size` bytes.
void sha512_finish(sha512_ctx *ctx, unsigned char *digest, size_t size)
{
    uint64_t bits_high = ctx->length >> 61;
    uint64_t bits_low = ctx->length << 3;
    size_t used = ctx->length % SHA512_BLOCK_SIZE;
    ctx->block[used++] = 0x80;
    if (used > SHA512_BLOCK_SIZE - 16) {
        std::memset(ctx->block + used, 0, SHA512_BLOCK_SIZE - used);
        sha512_block(ctx->H, ctx->block);
        used = 0;
    }
    std::memset(ctx->block + used, 0, SHA512_BLOCK_SIZE - 16 - used);
    for (int i = 0; i < 8; i++) {
        ctx->block[SHA512_BLOCK_SIZE - 9 - i] = static_cast<unsigned char>(bits_high >> (8 * i));
        ctx->block[SHA512_BLOCK_SIZE - 1 - i] = static_cast<unsigned char>(bits_low >> (8 * i));
    }
    sha512_block(ctx->H, ctx->block);
    for (size_t i = 0; i < size; i++)
        digest[i] = static_cast<unsigned char>(ctx->H[i / 8] >> (56 - 8 * (i % 8)));
}

}  // namespace

void sha512_init(sha512_ctx *ctx)
{
    std::memcpy(ctx->H, H0_512, sizeof H0_512);
    ctx->length = 0;
}

void sha384_init(sha512_ctx *ctx)
{
    std::memcpy(ctx->H, H0_384, sizeof H0_384);
    ctx->length = 0;
}

int sha512_update(sha512_ctx *ctx, const unsigned char *data, size_t len)
{
    if (len == 0)
        return 0;
    if (!data || len > SHA512_MAX_LENGTH - ctx->length)
        return -1;
    size_t used = ctx->length % SHA512_BLOCK_SIZE;
    ctx->length += len;
    if (used > 0) {
        size_t take = SHA512_BLOCK_SIZE - used < len ? SHA512_BLOCK_SIZE - used : len;
        std::memcpy(ctx->block + used, data, take);
        data += take;
        len -= take;
        if (used + take < SHA512_BLOCK_SIZE)
            return 0;
        sha512_block(ctx->H, ctx->block);
    }
    for (; len >= SHA512_BLOCK_SIZE; data += SHA512_BLOCK_SIZE, len -= SHA512_BLOCK_SIZE)
        sha512_block(ctx->H, data);
    std::memcpy(ctx->block, data, len);
    return 0;
}

int sha384_update(sha512_ctx *ctx, const unsigned char *data, size_t len)
{
    return sha512_update(ctx, data, len);
}

void sha512_final(sha512_ctx *ctx, unsigned char digest[SHA512_DIGEST_SIZE])
{
    sha512_finish(ctx, digest, SHA512_DIGEST_SIZE);
}

void sha384_final(sha512_ctx *ctx, unsigned char digest[SHA384_DIGEST_SIZE])
{
    sha512_finish(ctx, digest, SHA384_DIGEST_SIZE);
}
