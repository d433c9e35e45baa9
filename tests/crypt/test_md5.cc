#include <gtest/gtest.h>

#include "crypt/crypt_test.h"
#include "crypt/md5.h"

namespace {

// RFC 1321, appendix A.5, each message hashed whole and fed one byte and
// seven bytes at a time.
TEST(Md5, TestSuiteOfRfc1321)
{
    const struct {
        const char *msg;
        const char *digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &c : cases) {
        for (size_t piece : {SIZE_MAX, size_t(1), size_t(7)})
            EXPECT_EQ(md5_hex(c.msg, piece), c.digest) << '"' << c.msg << "\" piece " << piece;
    }
}

TEST(Md5, MissingDataIsRefusedAndLeavesTheContext)
{
    md5_ctx ctx;
    md5_init(&ctx);
    EXPECT_EQ(md5_update(&ctx, nullptr, 1), -1);
    EXPECT_EQ(md5_update(&ctx, nullptr, 0), 0);
    EXPECT_EQ(md5_update(&ctx, reinterpret_cast<const unsigned char *>("abc"), 3), 0);
    unsigned char digest[MD5_DIGEST_SIZE];
    md5_final(&ctx, digest);
    EXPECT_EQ(to_hex(digest, sizeof digest), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
