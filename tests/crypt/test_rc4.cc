#include <gtest/gtest.h>

#include <random>

#include "crypt/crypt_test.h"
#include "crypt/rc4.h"

namespace {

// Keystream from RFC 6229 for a 40-bit and a 128-bit key at several offsets.
// The keystream is the encryption of zeros, taken in pieces of irregular
// sizes so that calls continue where the last one stopped.
TEST(Rc4, KeystreamOfRfc6229)
{
    const struct {
        const char *key;
        size_t offset;
        const char *stream;
    } cases[] = {
        {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"},
        {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919"},
        {"0102030405", 240, "28cb1132c96ce286421dcaadb8b69eae"},
        {"0102030405", 256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
        {"0102030405", 4080, "068326a2118416d21f9d04b2cd1ca050"},
        {"0102030405", 4096, "ff25b58995996707e51fbdf08b34d875"},
        {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
        {"0102030405060708090a0b0c0d0e0f10", 16, "5248c4959014126a6e8a84f11d1a9e1c"},
        {"0102030405060708090a0b0c0d0e0f10", 4096, "a36a4c301ae8ac13610ccbc12256cacc"},
    };
    std::mt19937 gen(6229);
    for (const auto &c : cases) {
        bytes key = from_hex(c.key);
        rc4_ctx ctx;
        ASSERT_EQ(rc4_init(&ctx, key.data(), key.size()), 0);
        bytes stream(c.offset + 16, 0);
        for (size_t at = 0; at < stream.size();) {
            size_t n = std::min<size_t>(1 + gen() % 40, stream.size() - at);
            ASSERT_EQ(rc4_crypt(&ctx, stream.data() + at, stream.data() + at, n), 0);
            at += n;
        }
        EXPECT_EQ(to_hex(stream.data() + c.offset, 16), c.stream)
            << "key " << c.key << " offset " << c.offset;
    }
}

TEST(Rc4, LengthsAreChecked)
{
    unsigned char key[RC4_MAX_KEY_SIZE + 1] = {1};
    rc4_ctx ctx;
    EXPECT_EQ(rc4_init(&ctx, key, 0), -1);
    EXPECT_EQ(rc4_init(&ctx, key, RC4_MAX_KEY_SIZE + 1), -1);
    EXPECT_EQ(rc4_init(&ctx, nullptr, 5), -1);
    ASSERT_EQ(rc4_init(&ctx, key, RC4_MAX_KEY_SIZE), 0);
    unsigned char data[4] = {};
    EXPECT_EQ(rc4_crypt(&ctx, nullptr, data, 4), -1);
    EXPECT_EQ(rc4_crypt(&ctx, data, nullptr, 4), -1);
    EXPECT_EQ(rc4_crypt(&ctx, nullptr, nullptr, 0), 0);
}

}  // namespace
