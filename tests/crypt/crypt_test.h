// Test support for the cryptography units: hex conversion, and each hash run
// over a message fed in pieces of a given size, so that the tests reach the
// partial-block paths of the update functions as well as whole blocks.
#ifndef ROREZIDE_TESTS_CRYPT_CRYPT_TEST_H
#define ROREZIDE_TESTS_CRYPT_CRYPT_TEST_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypt/md5.h"
#include "crypt/sha256.h"
#include "crypt/sha512.h"

using bytes = std::vector<unsigned char>;

inline std::string to_hex(const unsigned char *data, size_t len)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < len; i++) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

inline std::string to_hex(const bytes &b)
{
    return to_hex(b.data(), b.size());
}

inline bytes from_hex(const std::string &hex)
{
    bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// One hash's functions, the message fed in pieces of `piece` bytes (the
// last one shorter); the digest in hex, or "update failed".
template <typename Ctx>
std::string hash_hex(void (*init)(Ctx *), int (*update)(Ctx *, const unsigned char *, size_t),
                     void (*final)(Ctx *, unsigned char *), size_t size, const std::string &msg,
                     size_t piece)
{
    Ctx ctx;
    init(&ctx);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(msg.data());
    for (size_t at = 0; at < msg.size(); at += piece) {
        size_t n = msg.size() - at < piece ? msg.size() - at : piece;
        if (update(&ctx, p + at, n) != 0)
            return "update failed";
    }
    unsigned char digest[64];
    final(&ctx, digest);
    return to_hex(digest, size);
}

inline std::string md5_hex(const std::string &msg, size_t piece = SIZE_MAX)
{
    return hash_hex(md5_init, md5_update, md5_final, MD5_DIGEST_SIZE, msg, piece);
}

inline std::string sha256_hex(const std::string &msg, size_t piece = SIZE_MAX)
{
    return hash_hex(sha256_init, sha256_update, sha256_final, SHA256_DIGEST_SIZE, msg, piece);
}

inline std::string sha384_hex(const std::string &msg, size_t piece = SIZE_MAX)
{
    return hash_hex(sha384_init, sha384_update, sha384_final, SHA384_DIGEST_SIZE, msg, piece);
}

inline std::string sha512_hex(const std::string &msg, size_t piece = SIZE_MAX)
{
    return hash_hex(sha512_init, sha512_update, sha512_final, SHA512_DIGEST_SIZE, msg, piece);
}

#endif
