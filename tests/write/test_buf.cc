#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "write/buf.h"

namespace {

std::string text_of(const out_buf &b)
{
    return std::string(reinterpret_cast<const char *>(b.data), static_cast<size_t>(b.len));
}

std::string real_text(double x)
{
    out_buf b{};
    EXPECT_NE(buf_real(&b, x), nullptr);
    std::string s = text_of(b);
    buf_release(&b);
    return s;
}

std::string int_text(int32_t v)
{
    out_buf b{};
    buf_int(&b, v);
    std::string s = text_of(b);
    buf_release(&b);
    return s;
}

}  // namespace

TEST(OutBuf, FirstAppendAllocatesOneMebibyteEvenForNothing)
{
    out_buf b{};
    ASSERT_NE(buf_bytes(&b, "", 0), nullptr);
    EXPECT_EQ(b.len, 0u);
    EXPECT_EQ(b.cap, 1048576u);
    EXPECT_EQ(b.data[0], 0);
    EXPECT_EQ(b.lost, 0);
    buf_release(&b);
    EXPECT_EQ(b.data, nullptr);
}

TEST(OutBuf, GrowsOnlyWhenTheTerminatorNoLongerFits)
{
    std::string big(1048570, 'a');
    out_buf b{};
    buf_bytes(&b, big.data(), big.size());
    buf_bytes(&b, "12345", 5);  // need is exactly 1 MiB
    EXPECT_EQ(b.cap, 1048576u);
    EXPECT_EQ(b.len, 1048575u);
    EXPECT_EQ(b.data[b.len], 0);
    buf_bytes(&b, "6", 1);
    EXPECT_EQ(b.cap, 2097152u);
    EXPECT_EQ(b.data[1048575], '6');
    EXPECT_EQ(b.data[0], 'a');
    buf_release(&b);

    out_buf c{};
    buf_bytes(&c, "0123456789", 10);
    std::string huge(3000000, 'z');
    buf_bytes(&c, huge.data(), huge.size());
    EXPECT_EQ(c.cap, 4194304u);  // two doublings in one resize
    EXPECT_EQ(text_of(c).substr(0, 11), "0123456789z");
    buf_release(&c);
}

TEST(OutBuf, KeepsNulBytesAndCountsThem)
{
    out_buf b{};
    buf_bytes(&b, "a\0b", 3);
    EXPECT_EQ(text_of(b), std::string("a\0b", 3));
    buf_release(&b);
}

TEST(OutBuf, AnAppendThatCannotBeHeldEmptiesTheBufferAndMarksItLost)
{
    out_buf b{};
    buf_bytes(&b, "head", 4);
    EXPECT_EQ(buf_bytes(&b, "x", UINT64_MAX - 2), nullptr);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.len, 0u);
    EXPECT_EQ(b.cap, 0u);
    EXPECT_EQ(b.lost, 1);
    // The next append starts again at 0 with a fresh block; the loss stays
    // visible to whoever assembles the file.
    ASSERT_NE(buf_bytes(&b, "tail", 4), nullptr);
    EXPECT_EQ(text_of(b), "tail");
    EXPECT_EQ(b.lost, 1);
    buf_release(&b);
}

TEST(BufInt, WritesPlainDecimals)
{
    EXPECT_EQ(int_text(0), "0");
    EXPECT_EQ(int_text(7), "7");
    EXPECT_EQ(int_text(-42), "-42");
    EXPECT_EQ(int_text(1000000), "1000000");
    EXPECT_EQ(int_text(INT32_MAX), "2147483647");
    EXPECT_EQ(int_text(INT32_MIN), "-2147483648");
}

TEST(BufReal, ShortFormOfRectangleNumbers)
{
    EXPECT_EQ(real_text(612), "612");
    EXPECT_EQ(real_text(612.5), "612.5");
    EXPECT_EQ(real_text(-612.5), "-612.5");
    EXPECT_EQ(real_text(841.88976), "841.8898");
    EXPECT_EQ(real_text(2.9999996), "3");
    EXPECT_EQ(real_text(2.00004), "2");
    EXPECT_EQ(real_text(100.00005), "100.0001");
    EXPECT_EQ(real_text(0.49999999), "0.5");
    EXPECT_EQ(real_text(-0.0), "0");
    EXPECT_EQ(real_text(-0.0000004), "0");
    EXPECT_EQ(real_text(-0.00001), "-0");
    EXPECT_EQ(real_text(-0.5), "-0.5");
    EXPECT_EQ(real_text(595.28), "595.28");
    EXPECT_EQ(real_text(0.1), "0.1");
}

TEST(BufReal, MagnitudesBeyondThirtyTwoBitsKeepTheirDigits)
{
    EXPECT_EQ(real_text(3000000000.0), "3000000000");
    EXPECT_EQ(real_text(-3000000000.0), "-3000000000");
    EXPECT_EQ(real_text(2147483647.0), "2147483647");
    EXPECT_EQ(real_text(-2147483648.0), "-2147483648");
    EXPECT_EQ(real_text(3000000000.25), "3000000000.25");
    EXPECT_EQ(real_text(1e300).size(), 301u);
    EXPECT_EQ(real_text(HUGE_VAL), "0");
    EXPECT_EQ(real_text(std::nan("")), "0");
}
