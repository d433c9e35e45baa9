// RC4, the stream cipher of the PDF standard security handler's revisions 2
// to 4 (crypt filter /V2 and the older handlers without crypt filters). The
// same keystream encrypts and decrypts: rc4_crypt XORs it into the data.
// Nothing is allocated and nothing is shared between contexts.
#ifndef ROREZIDE_CRYPT_RC4_H
#define ROREZIDE_CRYPT_RC4_H

#include <cstddef>

// Keys are 1 to 256 bytes; PDF uses 5 to 16.
constexpr size_t RC4_MAX_KEY_SIZE = 256;

struct rc4_ctx {
    unsigned char S[256];  // the permutation
    unsigned char i, j;    // its two indices
};

// Sets up the permutation from the key (the key-scheduling algorithm). -1,
// with the context unchanged, when key_len is 0 or above RC4_MAX_KEY_SIZE
// or the key is null; otherwise 0.
int rc4_init(rc4_ctx *ctx, const unsigned char *key, size_t key_len);

// XORs the next len bytes of keystream into in, written to out; out may be
// in. -1, with the context unchanged, when in or out is null and len is not
// 0; otherwise 0.
int rc4_crypt(rc4_ctx *ctx, const unsigned char *in, unsigned char *out, size_t len);

#endif
