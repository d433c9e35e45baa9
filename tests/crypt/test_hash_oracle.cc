// The four hashes against Python's hashlib, an implementation of its own,
// on random messages: lengths around the block and padding boundaries of
// both block sizes and random ones, fed in random pieces.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "crypt/crypt_test.h"
#include "support/fixture.h"

namespace {

const char *const HASHLIB_SCRIPT =
    "import hashlib, os, sys\n"
    "for i in range(int(sys.argv[2])):\n"
    "    with open(os.path.join(sys.argv[1], '%d.bin' % i), 'rb') as f:\n"
    "        data = f.read()\n"
    "    print(' '.join(hashlib.new(n, data).hexdigest()\n"
    "                   for n in ('md5', 'sha256', 'sha384', 'sha512')))\n";

TEST(HashOracle, AgreesWithHashlibOnRandomMessages)
{
    if (!have_tool("python3"))
        GTEST_SKIP() << "python3 not found";
    std::mt19937 gen(1321);
    std::vector<size_t> lengths = {0,   1,   55,  56,  57,  63,  64,  65,  111, 112,
                                   113, 119, 120, 127, 128, 129, 191, 192, 239, 240};
    for (int i = 0; i < 20; i++)
        lengths.push_back(gen() % 5000);
    std::string dir = make_temp_dir();
    std::vector<std::string> messages;
    for (size_t i = 0; i < lengths.size(); i++) {
        std::string msg(lengths[i], '\0');
        for (char &c : msg)
            c = static_cast<char>(gen());
        write_file(dir + "/" + std::to_string(i) + ".bin", msg);
        messages.push_back(msg);
    }
    write_file(dir + "/hashes.py", HASHLIB_SCRIPT);
    std::string out;
    int rc = run_command("python3 " + shell_quote(dir + "/hashes.py") + " " + shell_quote(dir) +
                             " " + std::to_string(messages.size()),
                         &out);
    remove_tree(dir);
    ASSERT_EQ(rc, 0) << out;

    std::istringstream lines(out);
    for (const std::string &msg : messages) {
        std::string md5, sha256, sha384, sha512;
        ASSERT_TRUE(lines >> md5 >> sha256 >> sha384 >> sha512) << "output ends early: " << out;
        size_t piece = 1 + gen() % 200;
        EXPECT_EQ(md5_hex(msg, piece), md5) << msg.size() << " bytes, piece " << piece;
        EXPECT_EQ(sha256_hex(msg, piece), sha256) << msg.size() << " bytes, piece " << piece;
        EXPECT_EQ(sha384_hex(msg, piece), sha384) << msg.size() << " bytes, piece " << piece;
        EXPECT_EQ(sha512_hex(msg, piece), sha512) << msg.size() << " bytes, piece " << piece;
    }
}

}  // namespace
