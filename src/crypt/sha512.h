// SHA-512 and SHA-384 (FIPS 180-4, 6.4 and 6.5), which the AES-256 security
// handler of PDF 2.0 mixes into its password hash beside SHA-256. Both run
// the same computation on the same context record; SHA-384 starts from other
// initial values and keeps 48 bytes of the result. A context takes the
// message in pieces of any size. Nothing is allocated and nothing is shared
// between contexts.
#ifndef ROREZIDE_CRYPT_SHA512_H
#define ROREZIDE_CRYPT_SHA512_H

#include <cstddef>
#include <cstdint>

constexpr size_t SHA512_DIGEST_SIZE = 64;
constexpr size_t SHA384_DIGEST_SIZE = 48;
constexpr size_t SHA512_BLOCK_SIZE = 128;

// The byte count is kept in 64 bits, so a message is at most this many
// bytes (the standard allows far more, below 2^128 bits).
constexpr uint64_t SHA512_MAX_LENGTH = UINT64_MAX;

struct sha512_ctx {
    uint64_t H[8];    // the hash value H0..H7
    uint64_t length;  // bytes of message taken so far
    unsigned char block[SHA512_BLOCK_SIZE];  // the first length % 128 bytes are pending
};

void sha512_init(sha512_ctx *ctx);
void sha384_init(sha512_ctx *ctx);

// Appends len bytes to the message, for either hash. -1, with the context
// unchanged, when data is null and len is not 0, or when the message would
// grow past SHA512_MAX_LENGTH; otherwise 0.
int sha512_update(sha512_ctx *ctx, const unsigned char *data, size_t len);
int sha384_update(sha512_ctx *ctx, const unsigned char *data, size_t len);

// Pad the message, write its digest and leave the context finished: it must
// be initialised again before another message.
void sha512_final(sha512_ctx *ctx, unsigned char digest[SHA512_DIGEST_SIZE]);
void sha384_final(sha512_ctx *ctx, unsigned char digest[SHA384_DIGEST_SIZE]);

#endif
