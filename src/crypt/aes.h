// AES (FIPS 197) with 128-, 192- and 256-bit keys, and cipher block chaining
// over whole blocks (NIST SP 800-38A, 6.2). PDF encrypts with AES-128 in
// revision 4 (/AESV2) and AES-256 in revisions 5 and 6 (/AESV3), always in
// CBC mode; padding and where the IV is stored belong to the PDF layer.
// A key is expanded once into a record that every block then reads; nothing
// is allocated and nothing is shared between keys.
#ifndef ROREZIDE_CRYPT_AES_H
#define ROREZIDE_CRYPT_AES_H

#include <cstddef>

constexpr size_t AES_BLOCK_SIZE = 16;
constexpr int AES_MAX_ROUNDS = 14;

// The key schedule: round r's key is the 16 bytes at w + 16 r (the words
// w[4r..4r+3] of FIPS 197 as bytes), r from 0 to Nr.
struct aes_key {
    int Nr;  // rounds: 10, 12 or 14 for keys of 16, 24 or 32 bytes
    unsigned char w[AES_BLOCK_SIZE * (AES_MAX_ROUNDS + 1)];
};

// KeyExpansion. -1, with the record unchanged, when key_len is not 16, 24
// or 32 or the key is null; otherwise 0.
int aes_key_expand(aes_key *key, const unsigned char *bytes, size_t key_len);

// Cipher and InvCipher of one block; out may be in.
void aes_encrypt_block(const aes_key *key, const unsigned char in[AES_BLOCK_SIZE],
                       unsigned char out[AES_BLOCK_SIZE]);
void aes_decrypt_block(const aes_key *key, const unsigned char in[AES_BLOCK_SIZE],
                       unsigned char out[AES_BLOCK_SIZE]);

// CBC encryption and decryption of len bytes, a whole number of blocks; out
// may be in, and for decryption may also start before in (each block is
// read before anything is written over it). iv holds the chaining value: the initialisation vector on the
// first call, and afterwards the last ciphertext block, so that a later call
// continues the chain. -1, with nothing written, when len is not a multiple
// of AES_BLOCK_SIZE or in or out is null while len is not 0; otherwise 0.
int aes_cbc_encrypt(const aes_key *key, unsigned char iv[AES_BLOCK_SIZE],
                    const unsigned char *in, unsigned char *out, size_t len);
int aes_cbc_decrypt(const aes_key *key, unsigned char iv[AES_BLOCK_SIZE],
                    const unsigned char *in, unsigned char *out, size_t len);

#endif
