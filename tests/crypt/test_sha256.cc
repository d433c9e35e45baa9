#include <gtest/gtest.h>

#include "crypt/crypt_test.h"
#include "crypt/sha256.h"

namespace {

const char *const MSG_448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

// The NIST examples (FIPS 180-4's one- and two-block messages, the empty
// message, one million 'a'), each hashed whole and fed in pieces of 1 and
// 63 bytes.
TEST(Sha256, NistExamples)
{
    const struct {
        std::string msg;
        const char *digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {MSG_448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto &c : cases) {
        for (size_t piece : {SIZE_MAX, size_t(1), size_t(63)})
            EXPECT_EQ(sha256_hex(c.msg, piece), c.digest)
                << c.msg.size() << " bytes, piece " << piece;
    }
}

TEST(Sha256, LengthsAreChecked)
{
    sha256_ctx ctx;
    sha256_init(&ctx);
    EXPECT_EQ(sha256_update(&ctx, nullptr, 1), -1);
    EXPECT_EQ(sha256_update(&ctx, nullptr, 0), 0);
    // A message may not reach 2^64 bits.
    const unsigned char three[3] = {1, 2, 3};
    ctx.length = SHA256_MAX_LENGTH - 2;
    EXPECT_EQ(sha256_update(&ctx, three, 3), -1);
    EXPECT_EQ(ctx.length, SHA256_MAX_LENGTH - 2);
    EXPECT_EQ(sha256_update(&ctx, three, 2), 0);
    EXPECT_EQ(ctx.length, SHA256_MAX_LENGTH);
}

}  // namespace
