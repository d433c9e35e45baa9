// An object's key (algorithm 1) and its strings and streams in and out of
// RC4 and AES-CBC.
#include "crypt/objcrypt.h"

#include <cstring>

#include "crypt/md5.h"
#include "crypt/rc4.h"

namespace {

bool file_key_suits(objcrypt_method method, size_t len)
{
    switch (method) {
    case OBJCRYPT_IDENTITY:
        return true;
    case OBJCRYPT_RC4:
        return len >= 5 && len <= 16;
    case OBJCRYPT_AESV2:
        return len >= 11 && len <= 16;
    default:
        return len == 32;
    }
}

bool is_aes(objcrypt_method method)
{
    return method == OBJCRYPT_AESV2 || method == OBJCRYPT_AESV3;
}

// The padding's length, from the last byte of the decrypted blocks, or 0
// when the padding is not 1 to 16 bytes each holding that number.
size_t padding_length(const unsigned char *plain, size_t len)
{
    size_t n = plain[len - 1];
    if (n == 0 || n > AES_BLOCK_SIZE)
        return 0;
    for (size_t i = len - n; i < len; i++)
        if (plain[i] != n)
            return 0;
    return n;
}

int decrypt_aes(const objcrypt_key *key, const unsigned char *in, size_t len, unsigned char *out,
                size_t *out_len)
{
    aes_key schedule;
    if (len < 2 * AES_BLOCK_SIZE || len % AES_BLOCK_SIZE != 0 ||
        aes_key_expand(&schedule, key->bytes, key->len) != 0)
        return -1;
    unsigned char iv[AES_BLOCK_SIZE];
    std::memcpy(iv, in, AES_BLOCK_SIZE);
    size_t blocks_len = len - AES_BLOCK_SIZE;
    aes_cbc_decrypt(&schedule, iv, in + AES_BLOCK_SIZE, out, blocks_len);
    size_t padding = padding_length(out, blocks_len);
    if (padding == 0)
        return -1;
    *out_len = blocks_len - padding;
    return 0;
}

}  // namespace

int objcrypt_object_key(objcrypt_method method, const unsigned char *file_key,
                        size_t file_key_len, int64_t num, int64_t gen, objcrypt_key *key)
{
    if (!file_key_suits(method, file_key_len) || (!file_key && file_key_len > 0) || num < 0 ||
        gen < 0)
        return -1;
    key->method = method;
    if (method == OBJCRYPT_IDENTITY) {
        key->len = 0;
        return 0;
    }
    if (method == OBJCRYPT_AESV3) {
        std::memcpy(key->bytes, file_key, file_key_len);
        key->len = file_key_len;
        return 0;
    }
    const unsigned char object[5] = {
        static_cast<unsigned char>(num), static_cast<unsigned char>(num >> 8),
        static_cast<unsigned char>(num >> 16), static_cast<unsigned char>(gen),
        static_cast<unsigned char>(gen >> 8)};
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, file_key, file_key_len);
    md5_update(&ctx, object, sizeof object);
    if (method == OBJCRYPT_AESV2)
        md5_update(&ctx, reinterpret_cast<const unsigned char *>("sAlT"), 4);
    unsigned char digest[MD5_DIGEST_SIZE];
    md5_final(&ctx, digest);
    key->len = file_key_len + 5 < MD5_DIGEST_SIZE ? file_key_len + 5 : MD5_DIGEST_SIZE;
    std::memcpy(key->bytes, digest, key->len);
    return 0;
}

int objcrypt_decrypt(const objcrypt_key *key, const unsigned char *in, size_t len,
                     unsigned char *out, size_t *out_len)
{
    if (len > 0 && (!in || !out))
        return -1;
    if (is_aes(key->method))
        return decrypt_aes(key, in, len, out, out_len);
    if (key->method == OBJCRYPT_RC4) {
        rc4_ctx rc4;
        if (rc4_init(&rc4, key->bytes, key->len) != 0)
            return -1;
        rc4_crypt(&rc4, in, out, len);
    } else if (len > 0) {
        std::memmove(out, in, len);
    }
    *out_len = len;
    return 0;
}

int objcrypt_encrypted_size(objcrypt_method method, size_t len, size_t *size)
{
    if (!is_aes(method)) {
        *size = len;
        return 0;
    }
    size_t blocks = len / AES_BLOCK_SIZE + 1;
    if (blocks > SIZE_MAX / AES_BLOCK_SIZE - 1)
        return -1;
    *size = (blocks + 1) * AES_BLOCK_SIZE;
    return 0;
}

int objcrypt_encrypt(const objcrypt_key *key, const unsigned char *iv, const unsigned char *in,
                     size_t len, unsigned char *out, size_t out_cap, size_t *out_len)
{
    size_t size;
    if (objcrypt_encrypted_size(key->method, len, &size) != 0 || size > out_cap ||
        (len > 0 && !in) || (size > 0 && !out) || (is_aes(key->method) && !iv))
        return -1;
    if (is_aes(key->method)) {
        // The IV, the data, and the padding, then the blocks encrypted in
        // place behind the IV.
        aes_key schedule;
        if (aes_key_expand(&schedule, key->bytes, key->len) != 0)
            return -1;
        size_t padding = size - AES_BLOCK_SIZE - len;
        std::memcpy(out, iv, AES_BLOCK_SIZE);
        if (len > 0)
            std::memcpy(out + AES_BLOCK_SIZE, in, len);
        std::memset(out + AES_BLOCK_SIZE + len, static_cast<int>(padding), padding);
        unsigned char chain[AES_BLOCK_SIZE];
        std::memcpy(chain, iv, AES_BLOCK_SIZE);
        aes_cbc_encrypt(&schedule, chain, out + AES_BLOCK_SIZE, out + AES_BLOCK_SIZE,
                        size - AES_BLOCK_SIZE);
    } else if (key->method == OBJCRYPT_RC4) {
        rc4_ctx rc4;
        if (rc4_init(&rc4, key->bytes, key->len) != 0)
            return -1;
        rc4_crypt(&rc4, in, out, len);
    } else if (len > 0) {
        std::memcpy(out, in, len);
    }
    *out_len = size;
    return 0;
}
