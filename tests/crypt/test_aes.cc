#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "crypt/aes.h"
#include "crypt/crypt_test.h"

namespace {

// FIPS 197: the cipher example of appendix B and the examples of appendix
// C.1 to C.3, encrypted and decrypted, also in place.
TEST(Aes, BlockExamplesOfFips197)
{
    const struct {
        const char *key, *plain, *cipher;
    } cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
         "3925841d02dc09fbdc118597196a0b32"},
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
         "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto &c : cases) {
        bytes k = from_hex(c.key), plain = from_hex(c.plain), cipher = from_hex(c.cipher);
        aes_key key;
        ASSERT_EQ(aes_key_expand(&key, k.data(), k.size()), 0);
        unsigned char out[AES_BLOCK_SIZE];
        aes_encrypt_block(&key, plain.data(), out);
        EXPECT_EQ(to_hex(out, 16), c.cipher) << "key " << c.key;
        aes_decrypt_block(&key, cipher.data(), out);
        EXPECT_EQ(to_hex(out, 16), c.plain) << "key " << c.key;
        aes_decrypt_block(&key, out, out);
        aes_encrypt_block(&key, out, out);
        EXPECT_EQ(to_hex(out, 16), c.plain) << "in place, key " << c.key;
    }
}

TEST(Aes, KeyLengthsAreChecked)
{
    unsigned char bytes[33] = {};
    aes_key key;
    key.Nr = 99;
    for (size_t len : {0, 8, 15, 17, 23, 25, 31, 33})
        EXPECT_EQ(aes_key_expand(&key, bytes, len), -1) << len;
    EXPECT_EQ(aes_key_expand(&key, nullptr, 16), -1);
    EXPECT_EQ(key.Nr, 99);
}

const char *const SP800_38A_PLAIN =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";

// NIST SP 800-38A, F.2.1 to F.2.6: CBC over four blocks with each key size,
// whole and one block per call (the IV carrying the chain from call to
// call), and decrypted back in place.
TEST(Aes, CbcExamplesOfSp800_38a)
{
    const struct {
        const char *key, *cipher;
    } cases[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c",
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
         "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
        {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
         "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
         "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
         "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
    };
    const bytes plain = from_hex(SP800_38A_PLAIN);
    const bytes iv0 = from_hex("000102030405060708090a0b0c0d0e0f");
    for (const auto &c : cases) {
        bytes k = from_hex(c.key);
        aes_key key;
        ASSERT_EQ(aes_key_expand(&key, k.data(), k.size()), 0);

        bytes out(plain.size()), iv = iv0;
        ASSERT_EQ(aes_cbc_encrypt(&key, iv.data(), plain.data(), out.data(), out.size()), 0);
        EXPECT_EQ(to_hex(out), c.cipher) << "key " << c.key;
        EXPECT_EQ(to_hex(iv), std::string(c.cipher).substr(96)) << "key " << c.key;

        iv = iv0;
        for (size_t at = 0; at < plain.size(); at += AES_BLOCK_SIZE)
            ASSERT_EQ(aes_cbc_encrypt(&key, iv.data(), plain.data() + at, out.data() + at,
                                      AES_BLOCK_SIZE),
                      0);
        EXPECT_EQ(to_hex(out), c.cipher) << "block by block, key " << c.key;

        iv = iv0;
        ASSERT_EQ(aes_cbc_decrypt(&key, iv.data(), out.data(), out.data(), out.size()), 0);
        EXPECT_EQ(out, plain) << "key " << c.key;
    }
}

// Random data of every key size, decrypted in pieces after encryption in one
// call: decryption inverts encryption away from the published values too.
TEST(Aes, CbcRoundTrip)
{
    std::mt19937 gen(197);
    for (size_t key_len : {16, 24, 32}) {
        bytes k(key_len), iv(16), data(4096);
        for (auto *b : {&k, &iv, &data})
            for (unsigned char &x : *b)
                x = static_cast<unsigned char>(gen());
        aes_key key;
        ASSERT_EQ(aes_key_expand(&key, k.data(), k.size()), 0);
        bytes enc(data.size()), chain = iv;
        ASSERT_EQ(aes_cbc_encrypt(&key, chain.data(), data.data(), enc.data(), enc.size()), 0);
        EXPECT_NE(enc, data);
        chain = iv;
        bytes dec(data.size());
        ASSERT_EQ(aes_cbc_decrypt(&key, chain.data(), enc.data(), dec.data(), 1024), 0);
        ASSERT_EQ(aes_cbc_decrypt(&key, chain.data(), enc.data() + 1024, dec.data() + 1024,
                                  dec.size() - 1024),
                  0);
        EXPECT_EQ(dec, data) << key_len;
    }
}

TEST(Aes, CbcTakesWholeBlocksOnly)
{
    unsigned char k[16] = {};
    aes_key key;
    ASSERT_EQ(aes_key_expand(&key, k, sizeof k), 0);
    unsigned char iv[16] = {}, in[48] = {}, out[48];
    std::memset(out, 0xAA, sizeof out);
    for (size_t len : {1, 15, 17, 47}) {
        EXPECT_EQ(aes_cbc_encrypt(&key, iv, in, out, len), -1) << len;
        EXPECT_EQ(aes_cbc_decrypt(&key, iv, in, out, len), -1) << len;
    }
    EXPECT_EQ(aes_cbc_decrypt(&key, iv, nullptr, out, 16), -1);
    EXPECT_EQ(aes_cbc_encrypt(&key, iv, in, nullptr, 16), -1);
    for (unsigned char b : out)
        ASSERT_EQ(b, 0xAA);
    for (unsigned char b : iv)
        ASSERT_EQ(b, 0);
    EXPECT_EQ(aes_cbc_encrypt(&key, iv, nullptr, nullptr, 0), 0);
}

}  // namespace
