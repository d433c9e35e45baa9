// The standard security handler's user password, by revision: algorithms 2
// (the file key), 4 and 5 (the /U a key makes, revision 2 and revisions 3
// and 4) and 6 (comparing it) up to revision 4; for revisions 5 and 6 the
// check of a password against /U's validation salt and the unwrapping of
// /UE with the hash of its key salt, the hash being SHA-256 alone for
// revision 5 and algorithm 2.B for revision 6.
#include "crypt/pdfkey.h"

#include <cstring>

#include "crypt/aes.h"
#include "crypt/md5.h"
#include "crypt/rc4.h"
#include "crypt/sha256.h"
#include "crypt/sha512.h"

namespace {

// The 32 bytes that pad a short password, and that alone stand for the
// empty one (algorithm 2).
const unsigned char PasswordPadding[32] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A,
};

// Sizes of the strings by revision.
constexpr size_t OU_SIZE_R4 = 32;     // /O and /U up to revision 4
constexpr size_t U_SIZE_R6 = 48;      // /U from revision 5: hash, validation salt, key salt
constexpr size_t UE_SIZE = 32;        // /UE: the wrapped file key
constexpr size_t SALT_SIZE = 8;
constexpr size_t HASH_SIZE_R6 = 32;   // the hash at the head of /U

bool bytes_given(const unsigned char *data, size_t len)
{
    return data || len == 0;
}

bool values_usable(const pdfkey_values *v)
{
    if (!bytes_given(v->O, v->O_len) || !bytes_given(v->U, v->U_len) ||
        !bytes_given(v->UE, v->UE_len) || !bytes_given(v->id0, v->id0_len))
        return false;
    switch (v->R) {
    case 2:
        return v->O_len >= OU_SIZE_R4 && v->U_len >= OU_SIZE_R4;
    case 3:
    case 4:
        return v->O_len >= OU_SIZE_R4 && v->U_len >= OU_SIZE_R4 && v->length_bits >= 40 &&
               v->length_bits <= 128 && v->length_bits % 8 == 0;
    case 5:
    case 6:
        return v->U_len >= U_SIZE_R6 && v->UE_len >= UE_SIZE;
    default:
        return false;
    }
}

// Algorithm 2: the file key of n bytes a password makes, up to revision 4.
// MD5 over the padded password, /O, /P as four bytes low first, the first
// /ID string and, in revision 4 when metadata stays in clear, four 0xFF
// bytes; from revision 3, the first n bytes of the digest hashed again 50
// times.
void file_key_r2_4(const pdfkey_values *v, const unsigned char padded[32], size_t n,
                   unsigned char key[MD5_DIGEST_SIZE])
{
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, padded, 32);
    md5_update(&ctx, v->O, OU_SIZE_R4);
    const unsigned char P[4] = {static_cast<unsigned char>(v->P),
                                static_cast<unsigned char>(v->P >> 8),
                                static_cast<unsigned char>(v->P >> 16),
                                static_cast<unsigned char>(v->P >> 24)};
    md5_update(&ctx, P, 4);
    md5_update(&ctx, v->id0, v->id0_len);
    if (v->R >= 4 && !v->encrypt_metadata) {
        const unsigned char clear_metadata[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        md5_update(&ctx, clear_metadata, 4);
    }
    unsigned char digest[MD5_DIGEST_SIZE];
    md5_final(&ctx, digest);
    if (v->R >= 3) {
        for (int i = 0; i < 50; i++) {
            md5_init(&ctx);
            md5_update(&ctx, digest, n);
            md5_final(&ctx, digest);
        }
    }
    std::memcpy(key, digest, n);
}

// Algorithm 4: revision 2's /U is the padding encrypted with the file key;
// all 32 bytes are compared.
bool user_key_matches_r2(const pdfkey_values *v, const unsigned char *key, size_t n)
{
    unsigned char u[32];
    rc4_ctx rc4;
    rc4_init(&rc4, key, n);
    rc4_crypt(&rc4, PasswordPadding, u, 32);
    return std::memcmp(u, v->U, 32) == 0;
}

// Algorithm 5: from revision 3, /U begins with the MD5 of the padding and
// the first /ID string, encrypted with the file key and then 19 more times
// with the key's bytes XORed with 1 to 19; the 16 bytes after it are
// arbitrary, so only the first 16 are compared.
bool user_key_matches_r3_4(const pdfkey_values *v, const unsigned char *key, size_t n)
{
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, PasswordPadding, 32);
    md5_update(&ctx, v->id0, v->id0_len);
    unsigned char u[MD5_DIGEST_SIZE];
    md5_final(&ctx, u);
    for (int i = 0; i <= 19; i++) {
        unsigned char round_key[MD5_DIGEST_SIZE];
        for (size_t b = 0; b < n; b++)
            round_key[b] = static_cast<unsigned char>(key[b] ^ i);
        rc4_ctx rc4;
        rc4_init(&rc4, round_key, n);
        rc4_crypt(&rc4, u, u, sizeof u);
    }
    return std::memcmp(u, v->U, sizeof u) == 0;
}

// Algorithm 6, the user password up to revision 4: the key it makes is the
// file key when it makes the file's /U.
int authenticate_r2_4(const pdfkey_values *v, const unsigned char *password, size_t password_len,
                      pdfkey_file_key *key)
{
    unsigned char padded[32];
    size_t used = password_len < 32 ? password_len : 32;
    if (used > 0)
        std::memcpy(padded, password, used);
    std::memcpy(padded + used, PasswordPadding, 32 - used);
    size_t n = v->R == 2 ? 5 : static_cast<size_t>(v->length_bits / 8);
    unsigned char made[MD5_DIGEST_SIZE];
    file_key_r2_4(v, padded, n, made);
    bool matches = v->R == 2 ? user_key_matches_r2(v, made, n) : user_key_matches_r3_4(v, made, n);
    if (!matches)
        return 0;
    std::memcpy(key->bytes, made, n);
    key->len = n;
    return 1;
}

// The next K of algorithm 2.B: the hash of E that the sum of its first 16
// bytes modulo 3 names (their value as a big-endian number modulo 3, since
// 256 is 1 modulo 3). Returns K's length.
size_t next_K_r6(const unsigned char *E, size_t E_len, unsigned char K[SHA512_DIGEST_SIZE])
{
    unsigned sum = 0;
    for (int i = 0; i < 16; i++)
        sum += E[i];
    switch (sum % 3) {
    case 0: {
        sha256_ctx ctx;
        sha256_init(&ctx);
        sha256_update(&ctx, E, E_len);
        sha256_final(&ctx, K);
        return SHA256_DIGEST_SIZE;
    }
    case 1: {
        sha512_ctx ctx;
        sha384_init(&ctx);
        sha384_update(&ctx, E, E_len);
        sha384_final(&ctx, K);
        return SHA384_DIGEST_SIZE;
    }
    default: {
        sha512_ctx ctx;
        sha512_init(&ctx);
        sha512_update(&ctx, E, E_len);
        sha512_final(&ctx, K);
        return SHA512_DIGEST_SIZE;
    }
    }
}

// The hash of a password (at most 127 bytes) and a salt for revisions 5
// and 6. Revision 5 takes SHA-256 of the two. Revision 6 (algorithm 2.B)
// starts from that K and goes round: K1 is 64 copies of the password and K,
// E is K1 encrypted with AES-128-CBC under K's first 16 bytes with its next
// 16 as IV, and the next K a hash of E; after 64 rounds it stops at the
// first round whose E ends in a byte at most the round's number minus 32.
// The first 32 bytes of K are the hash. (Checking an owner password would
// add /U to the input; this handler checks the user password only.)
void password_hash_r5_6(int R, const unsigned char *password, size_t password_len,
                        const unsigned char salt[SALT_SIZE], unsigned char hash[HASH_SIZE_R6])
{
    unsigned char K[SHA512_DIGEST_SIZE];
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, password, password_len);
    sha256_update(&ctx, salt, SALT_SIZE);
    sha256_final(&ctx, K);
    size_t K_len = SHA256_DIGEST_SIZE;
    if (R == 6) {
        // K1 is encrypted in place into E: 64 copies of 127 + 64 bytes at
        // most, a whole number of blocks whatever the lengths.
        unsigned char E[64 * (PDFKEY_PASSWORD_R6 + SHA512_DIGEST_SIZE)];
        for (int round = 1;; round++) {
            size_t copy_len = password_len + K_len;
            for (size_t c = 0; c < 64; c++) {
                if (password_len > 0)
                    std::memcpy(E + c * copy_len, password, password_len);
                std::memcpy(E + c * copy_len + password_len, K, K_len);
            }
            size_t E_len = 64 * copy_len;
            aes_key key;
            aes_key_expand(&key, K, 16);
            unsigned char iv[AES_BLOCK_SIZE];
            std::memcpy(iv, K + 16, AES_BLOCK_SIZE);
            aes_cbc_encrypt(&key, iv, E, E, E_len);
            K_len = next_K_r6(E, E_len, K);
            if (round >= 64 && E[E_len - 1] <= round - 32)
                break;
        }
    }
    std::memcpy(hash, K, HASH_SIZE_R6);
}

// The user password from revision 5: its hash with /U's validation salt
// (bytes 32 to 39) is /U's first 32 bytes; its hash with the key salt (bytes
// 40 to 47) is the AES-256 key that decrypts /UE, in CBC mode with a zero IV,
// into the file key.
int authenticate_r5_6(const pdfkey_values *v, const unsigned char *password, size_t password_len,
                      pdfkey_file_key *key)
{
    size_t used = password_len < PDFKEY_PASSWORD_R6 ? password_len : PDFKEY_PASSWORD_R6;
    unsigned char hash[HASH_SIZE_R6];
    password_hash_r5_6(v->R, password, used, v->U + HASH_SIZE_R6, hash);
    if (std::memcmp(hash, v->U, HASH_SIZE_R6) != 0)
        return 0;
    password_hash_r5_6(v->R, password, used, v->U + HASH_SIZE_R6 + SALT_SIZE, hash);
    aes_key unwrap;
    aes_key_expand(&unwrap, hash, sizeof hash);
    unsigned char iv[AES_BLOCK_SIZE] = {};
    aes_cbc_decrypt(&unwrap, iv, v->UE, key->bytes, UE_SIZE);
    key->len = UE_SIZE;
    return 1;
}

}  // namespace

int pdfkey_authenticate_user(const pdfkey_values *values, const unsigned char *password,
                             size_t password_len, pdfkey_file_key *key)
{
    if (!values_usable(values) || !bytes_given(password, password_len))
        return -1;
    if (values->R <= 4)
        return authenticate_r2_4(values, password, password_len, key);
    return authenticate_r5_6(values, password, password_len, key);
}
