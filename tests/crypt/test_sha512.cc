#include <gtest/gtest.h>

#include "crypt/crypt_test.h"
#include "crypt/sha512.h"

namespace {

const char *const MSG_448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const char *const MSG_896 =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
    "mnopqrsmnopqrstnopqrstu";

// The NIST examples for SHA-384 and SHA-512 (FIPS 180-4's one- and two-block
// messages, the 448-bit message, the empty message, one million 'a'), each
// hashed whole and fed in pieces of 1 and 127 bytes.
TEST(Sha512, NistExamples)
{
    const struct {
        std::string msg;
        const char *sha384;
        const char *sha512;
    } cases[] = {
        {"",
         "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f1"
         "4898b95b",
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2"
         "877eec2f63b931bd47417a81a538327af927da3e"},
        {"abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
         "34c825a7",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
         "a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {MSG_448,
         "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1f"
         "e3c8452b",
         "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea"
         "57789ca031ad85c7a71dd70354ec631238ca3445"},
        {MSG_896,
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa"
         "91746039",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99de"
         "c4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {std::string(1000000, 'a'),
         "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd8"
         "7f3d8985",
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432c"
         "e577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
    for (const auto &c : cases) {
        for (size_t piece : {SIZE_MAX, size_t(1), size_t(127)}) {
            EXPECT_EQ(sha384_hex(c.msg, piece), c.sha384)
                << c.msg.size() << " bytes, piece " << piece;
            EXPECT_EQ(sha512_hex(c.msg, piece), c.sha512)
                << c.msg.size() << " bytes, piece " << piece;
        }
    }
}

TEST(Sha512, LengthsAreChecked)
{
    sha512_ctx ctx;
    sha512_init(&ctx);
    EXPECT_EQ(sha512_update(&ctx, nullptr, 1), -1);
    EXPECT_EQ(sha512_update(&ctx, nullptr, 0), 0);
    // The byte count may not wrap.
    const unsigned char three[3] = {1, 2, 3};
    ctx.length = SHA512_MAX_LENGTH - 2;
    EXPECT_EQ(sha512_update(&ctx, three, 3), -1);
    EXPECT_EQ(ctx.length, SHA512_MAX_LENGTH - 2);
    EXPECT_EQ(sha512_update(&ctx, three, 2), 0);
}

}  // namespace
