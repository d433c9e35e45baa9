// MD5 message digest (RFC 1321), from which the standard security handler
// of PDF makes its RC4 and AES-128 keys. A context record takes the message
// in pieces of any size; md5_final pads it and writes the 16-byte digest.
// Nothing is allocated and nothing is shared between contexts.
#ifndef ROREZIDE_CRYPT_MD5_H
#define ROREZIDE_CRYPT_MD5_H

#include <cstddef>
#include <cstdint>

constexpr size_t MD5_DIGEST_SIZE = 16;
constexpr size_t MD5_BLOCK_SIZE = 64;

struct md5_ctx {
    uint32_t state[4];  // the words A, B, C, D
    uint64_t length;    // bytes of message taken so far
    unsigned char block[MD5_BLOCK_SIZE];  // the first length % 64 bytes are pending
};

void md5_init(md5_ctx *ctx);

// Appends len bytes to the message. -1, with the context unchanged, when
// data is null and len is not 0; otherwise 0. The message may have any
// length: its bit count enters the padding modulo 2^64, as RFC 1321 says.
int md5_update(md5_ctx *ctx, const unsigned char *data, size_t len);

// Pads the message, writes its digest and leaves the context finished: it
// must be initialised again before another message.
void md5_final(md5_ctx *ctx, unsigned char digest[MD5_DIGEST_SIZE]);

#endif
