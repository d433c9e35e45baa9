#include <gtest/gtest.h>

#include <string>

#include "doc/doc.h"

namespace {

const unsigned char *u(const std::string &s)
{
    return reinterpret_cast<const unsigned char *>(s.data());
}

int32_t len(const std::string &s)
{
    return static_cast<int32_t>(s.size());
}

// Classifies the text as a compressed entry and as a plain one whose
// dictionary starts at 0; both must agree.
int classify(const std::string &s)
{
    obj_entry c{};
    c.compressed = 1;
    c.text = u(s);
    c.text_len = len(s);
    obj_entry p{};
    p.dict_off = 0;
    p.dict_end = -1;
    p.endobj_off = len(s);
    int a = obj_type(nullptr, 0, c);
    int b = obj_type(u(s), len(s), p);
    EXPECT_EQ(a, b) << s;
    return a;
}

}  // namespace

TEST(ObjType, ClassifiesPageTreeNodes)
{
    EXPECT_EQ(classify("<</Type/Page>>"), 1);
    EXPECT_EQ(classify("<< /Type /Pages /Count 0 >>"), 2);
    EXPECT_EQ(classify("<< /Type /Catalog /Kids [] >>"), 2);
    EXPECT_EQ(classify("<< /Type /Catalog >>"), 0);
    EXPECT_EQ(classify("<< /Type % c\n/Page >>"), 1);  // a comment is white space
    EXPECT_EQ(classify("<< % /Type /Page\n/Type /Font >>"), 0);
    EXPECT_EQ(classify("<< /Type /Pagex >>"), 0);
    EXPECT_EQ(classify("<< /Type /Font /Type /Page >>"), 1);
    obj_entry bare{};
    bare.dict_off = -1;
    std::string n = "12";
    EXPECT_EQ(obj_type(u(n), len(n), bare), 0);
}

TEST(ObjType, NestedKidsDoNotMakeAPagesNode)
{
    // Catalogs with named destinations carry a name tree whose nodes have
    // /Kids of their own; such a catalog is not a pages node.
    EXPECT_EQ(classify("<< /Names << /Dests << /Kids [ 5 0 R ] >> >> /Pages 3 0 R "
                       "/Type /Catalog >>"),
              0);
    EXPECT_EQ(classify("<< /Kids [ 4 0 R ] /Count 1 >>"), 2);
    EXPECT_EQ(classify("<< /Names << /Kids [ 5 0 R ] >> /Kids [ 4 0 R ] >>"), 2);
}
