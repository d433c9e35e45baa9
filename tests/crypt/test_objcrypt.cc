#include <gtest/gtest.h>

#include <random>

#include "crypt/aes.h"
#include "crypt/crypt_test.h"
#include "crypt/objcrypt.h"

namespace {

const unsigned char FILE_KEY[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                    12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                    23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

TEST(ObjCrypt, ObjectKeysSuitTheirMethod)
{
    const struct {
        objcrypt_method method;
        size_t file_key_len;
        int rc;
        size_t key_len;
    } cases[] = {
        {OBJCRYPT_RC4, 4, -1, 0},     {OBJCRYPT_RC4, 5, 0, 10},     {OBJCRYPT_RC4, 11, 0, 16},
        {OBJCRYPT_RC4, 16, 0, 16},    {OBJCRYPT_RC4, 17, -1, 0},    {OBJCRYPT_AESV2, 10, -1, 0},
        {OBJCRYPT_AESV2, 11, 0, 16},  {OBJCRYPT_AESV2, 16, 0, 16},  {OBJCRYPT_AESV2, 32, -1, 0},
        {OBJCRYPT_AESV3, 16, -1, 0},  {OBJCRYPT_AESV3, 32, 0, 32},  {OBJCRYPT_IDENTITY, 32, 0, 0},
    };
    for (const auto &c : cases) {
        objcrypt_key key{};
        key.len = 99;
        EXPECT_EQ(objcrypt_object_key(c.method, FILE_KEY, c.file_key_len, 12, 0, &key), c.rc)
            << c.method << " " << c.file_key_len;
        EXPECT_EQ(key.len, c.rc == 0 ? c.key_len : 99) << c.method << " " << c.file_key_len;
    }
    objcrypt_key key;
    EXPECT_EQ(objcrypt_object_key(OBJCRYPT_RC4, FILE_KEY, 16, -1, 0, &key), -1);
    EXPECT_EQ(objcrypt_object_key(OBJCRYPT_RC4, FILE_KEY, 16, 1, -1, &key), -1);
    EXPECT_EQ(objcrypt_object_key(OBJCRYPT_RC4, nullptr, 16, 1, 0, &key), -1);

    // Objects differ by number and by generation; AES-256 takes the file key.
    objcrypt_key a, b, c;
    ASSERT_EQ(objcrypt_object_key(OBJCRYPT_AESV2, FILE_KEY, 16, 7, 0, &a), 0);
    ASSERT_EQ(objcrypt_object_key(OBJCRYPT_AESV2, FILE_KEY, 16, 8, 0, &b), 0);
    ASSERT_EQ(objcrypt_object_key(OBJCRYPT_AESV2, FILE_KEY, 16, 7, 1, &c), 0);
    EXPECT_NE(to_hex(a.bytes, 16), to_hex(b.bytes, 16));
    EXPECT_NE(to_hex(a.bytes, 16), to_hex(c.bytes, 16));
    ASSERT_EQ(objcrypt_object_key(OBJCRYPT_AESV3, FILE_KEY, 32, 7, 0, &a), 0);
    EXPECT_EQ(to_hex(a.bytes, 32), to_hex(FILE_KEY, 32));
}

// Every method and data around the block size: the encrypted length is the
// one announced, a buffer one byte short is refused untouched, and
// decryption, in place, gives the data back.
TEST(ObjCrypt, EncryptionRoundTrips)
{
    std::mt19937 gen(32000);
    const unsigned char iv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    for (objcrypt_method method :
         {OBJCRYPT_IDENTITY, OBJCRYPT_RC4, OBJCRYPT_AESV2, OBJCRYPT_AESV3}) {
        objcrypt_key key;
        ASSERT_EQ(objcrypt_object_key(method, FILE_KEY, method == OBJCRYPT_AESV3 ? 32 : 16, 3, 0,
                                      &key),
                  0);
        for (size_t len : {0, 1, 15, 16, 17, 31, 32, 100}) {
            bytes data(len);
            for (unsigned char &x : data)
                x = static_cast<unsigned char>(gen());
            size_t size = 0;
            ASSERT_EQ(objcrypt_encrypted_size(method, len, &size), 0);
            bool aes = method == OBJCRYPT_AESV2 || method == OBJCRYPT_AESV3;
            EXPECT_EQ(size, aes ? 16 + (len / 16 + 1) * 16 : len) << method << " " << len;

            bytes out(size + 1, 0xEE);
            size_t out_len = 0;
            if (size > 0) {
                EXPECT_EQ(objcrypt_encrypt(&key, iv, data.data(), len, out.data(), size - 1,
                                           &out_len),
                          -1);
                EXPECT_EQ(out, bytes(size + 1, 0xEE));
            }
            ASSERT_EQ(objcrypt_encrypt(&key, iv, data.data(), len, out.data(), out.size(),
                                       &out_len),
                      0);
            ASSERT_EQ(out_len, size);
            EXPECT_EQ(out[size], 0xEE) << "written past its length";
            if (aes) {
                EXPECT_EQ(to_hex(out.data(), 16), to_hex(iv, 16));
            }
            if (method != OBJCRYPT_IDENTITY && len > 0) {
                EXPECT_NE(bytes(out.end() - 1 - len, out.end() - 1), data);
            }

            size_t plain_len = 0;
            ASSERT_EQ(objcrypt_decrypt(&key, out.data(), size, out.data(), &plain_len), 0)
                << method << " " << len;
            EXPECT_EQ(bytes(out.begin(), out.begin() + plain_len), data) << method << " " << len;
        }
    }
    size_t size;
    EXPECT_EQ(objcrypt_encrypted_size(OBJCRYPT_AESV2, SIZE_MAX - 20, &size), -1);
}

// AES data that is not an IV and whole blocks, or whose padding is not n
// bytes of value n, is refused.
TEST(ObjCrypt, AesDataIsChecked)
{
    objcrypt_key key;
    ASSERT_EQ(objcrypt_object_key(OBJCRYPT_AESV2, FILE_KEY, 16, 5, 0, &key), 0);
    aes_key schedule;
    ASSERT_EQ(aes_key_expand(&schedule, key.bytes, key.len), 0);
    // The last plaintext block, hex, and the plaintext length it leaves, or
    // -1 for a refusal.
    const struct {
        const char *last_block;
        int plain_len;
    } cases[] = {
        {"41414141414141414141414141414101", 31},
        {"41414141414141414141414141040404", -1},
        {"41414141414141414141414104040404", 28},
        {"10101010101010101010101010101010", 16},
        {"41414141414141414141414141414100", -1},
        {"11111111111111111111111111111111", -1},
        {"41101010101010101010101010101010", -1},
    };
    for (const auto &c : cases) {
        bytes data(48, 0x41);
        bytes last = from_hex(c.last_block);
        std::copy(last.begin(), last.end(), data.begin() + 32);
        unsigned char iv[16] = {};
        ASSERT_EQ(aes_cbc_encrypt(&schedule, iv, data.data() + 16, data.data() + 16, 32), 0);
        bytes out(48);
        size_t out_len = 0;
        int rc = objcrypt_decrypt(&key, data.data(), data.size(), out.data(), &out_len);
        EXPECT_EQ(rc, c.plain_len < 0 ? -1 : 0) << c.last_block;
        if (rc == 0) {
            EXPECT_EQ(static_cast<int>(out_len), c.plain_len) << c.last_block;
        }
    }
    bytes any(64, 0x41);
    size_t out_len;
    for (size_t len : {0, 15, 16, 17, 31, 33, 47})
        EXPECT_EQ(objcrypt_decrypt(&key, any.data(), len, any.data(), &out_len), -1) << len;
}

}  // namespace
