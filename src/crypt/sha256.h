// SHA-256 (FIPS 180-4, 6.2), which the AES-256 security handlers of PDF use
// to check a password and to make the key that unwraps the file key. A
// context record takes the message in pieces of any size; sha256_final pads
// it and writes the 32-byte digest. Nothing is allocated and nothing is
// shared between contexts.
#ifndef ROREZIDE_CRYPT_SHA256_H
#define ROREZIDE_CRYPT_SHA256_H

#include <cstddef>
#include <cstdint>

constexpr size_t SHA256_DIGEST_SIZE = 32;
constexpr size_t SHA256_BLOCK_SIZE = 64;

// A message is below 2^64 bits: at most this many bytes.
constexpr uint64_t SHA256_MAX_LENGTH = (uint64_t(1) << 61) - 1;

struct sha256_ctx {
    uint32_t H[8];    // the hash value H0..H7
    uint64_t length;  // bytes of message taken so far
    unsigned char block[SHA256_BLOCK_SIZE];  // the first length % 64 bytes are pending
};

void sha256_init(sha256_ctx *ctx);

// Appends len bytes to the message. -1, with the context unchanged, when
// data is null and len is not 0, or when the message would grow past
// SHA256_MAX_LENGTH; otherwise 0.
int sha256_update(sha256_ctx *ctx, const unsigned char *data, size_t len);

// Pads the message, writes its digest and leaves the context finished: it
// must be initialised again before another message.
void sha256_final(sha256_ctx *ctx, unsigned char digest[SHA256_DIGEST_SIZE]);

#endif
