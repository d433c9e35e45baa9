// The encryption of an object's strings and streams: the key each object
// gets from the file key (algorithm 1 of the PDF reference), and the data
// encrypted and decrypted with it by the crypt filter's method. RC4 data is
// the bare cipher stream. AES data is a 16-byte IV followed by the CBC
// encryption of the data padded to whole blocks: n bytes of value n, 1 to
// 16 of them, always at least one. Nothing is allocated; results carry no
// message.
#ifndef ROREZIDE_CRYPT_OBJCRYPT_H
#define ROREZIDE_CRYPT_OBJCRYPT_H

#include <cstddef>
#include <cstdint>

#include "crypt/aes.h"

// A crypt filter's method: /Identity (the data is not encrypted), RC4 (/V2,
// and every file before crypt filters), AES-128 (/AESV2), AES-256 (/AESV3).
enum objcrypt_method { OBJCRYPT_IDENTITY, OBJCRYPT_RC4, OBJCRYPT_AESV2, OBJCRYPT_AESV3 };

struct objcrypt_key {
    objcrypt_method method;
    unsigned char bytes[32];
    size_t len;  // 0 for /Identity; 10 to 16 for RC4; 16 for AES-128; 32 for AES-256
};

// The key of object num, generation gen. RC4 and AES-128 hash the file key
// with the object number's low three bytes and the generation's low two,
// low byte first, and for AES-128 the bytes "sAlT", keeping n + 5 bytes of
// the MD5 digest, 16 at most, for a file key of n bytes. AES-256 uses the
// file key itself; /Identity needs none. -1, with *key unchanged, when the
// file key is null or its length does not suit the method (RC4: 5 to 16
// bytes; AES-128: 11 to 16, so that the key comes out 16 bytes long;
// AES-256: 32) or num or gen is negative; otherwise 0.
int objcrypt_object_key(objcrypt_method method, const unsigned char *file_key,
                        size_t file_key_len, int64_t num, int64_t gen, objcrypt_key *key);

// Decrypts len bytes of a string or a stream into out, which has room for
// len bytes; out may be in. *out_len is set to the plaintext's length: len
// for RC4 and /Identity, len - 16 - the padding for AES. -1 when AES data is
// not an IV and one or more whole blocks, when its padding is not 1 to 16
// bytes each holding that number (out then holds the bytes decrypted), or
// when in or out is null while len is not 0; otherwise 0.
int objcrypt_decrypt(const objcrypt_key *key, const unsigned char *in, size_t len,
                     unsigned char *out, size_t *out_len);

// The length of len bytes encrypted: len for RC4 and /Identity, the IV and
// the padded blocks for AES. -1 when that is beyond SIZE_MAX; otherwise 0.
int objcrypt_encrypted_size(objcrypt_method method, size_t len, size_t *size);

// Encrypts len bytes into out, which has room for out_cap bytes and does not
// overlap in; *out_len gets objcrypt_encrypted_size's length. AES puts iv
// at the head of the data; RC4 and /Identity read no iv (it may be null).
// -1, with nothing written, when out_cap is smaller than that length, when
// an AES iv is null, or when in or out is null while there are bytes to
// read or write; otherwise 0.
int objcrypt_encrypt(const objcrypt_key *key, const unsigned char *iv, const unsigned char *in,
                     size_t len, unsigned char *out, size_t out_cap, size_t *out_len);

#endif
