#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "doc/doc.h"
#include "write/extract.h"

namespace {

page_entry letter_page()
{
    page_entry pe{};
    pe.num = 4;
    pe.has_media_box = 1;
    pe.media_box[2] = 612;
    pe.media_box[3] = 792;
    return pe;
}

// Rewrites dict (all of it, "<<" to ">>") under parent 12.
std::string rebuild(const std::string &dict, const page_entry &pe)
{
    out_buf b{};
    const unsigned char *text = reinterpret_cast<const unsigned char *>(dict.data());
    EXPECT_NE(rebuild_page_dict(&b, text, 0, static_cast<int32_t>(dict.size()), 12, pe),
              nullptr);
    std::string s(reinterpret_cast<const char *>(b.data), static_cast<size_t>(b.len));
    buf_release(&b);
    return s;
}

}  // namespace

TEST(RebuildPageDict, ReplacesParentAndAddsInheritedAttributes)
{
    page_entry pe = letter_page();
    pe.has_resources = 1;
    pe.resources_num = 7;
    EXPECT_EQ(rebuild("<< /Type /Page /Parent 3 0 R /Contents 5 0 R >>", pe),
              "<< /Type /Page /Contents 5 0 R /Parent 12 0 R /MediaBox [0 0 612 792] "
              "/Resources 7 0 R >>");
}

TEST(RebuildPageDict, CompactDictionaryKeepsOwnBoxAndGetsTheRest)
{
    page_entry pe = letter_page();
    pe.media_box[2] = 595.28;
    pe.media_box[3] = 841.89;
    pe.has_crop_box = 1;
    double crop[4] = {10, 10, 585.5, 831.89};
    std::memcpy(pe.crop_box, crop, sizeof crop);
    pe.rotate = 270;
    std::string res = "<< /Font << /F1 9 0 R >> >>";
    pe.has_resources = 1;
    pe.resources_num = -1;
    pe.resources_text = &res[0];
    pe.resources_len = static_cast<int32_t>(res.size());
    EXPECT_EQ(rebuild("<</Type/Page/MediaBox[0 0 595.28 841.89]/Parent 2 0 R/Contents[4 0 R 6 0 "
                      "R]/UserUnit 2.5>>",
                      pe),
              "<< /Type/Page /MediaBox[0 0 595.28 841.89] /Contents[4 0 R 6 0 R] /UserUnit 2.5 "
              "/Parent 12 0 R /CropBox [10 10 585.5 831.89] /Rotate 270 /Resources << /Font << "
              "/F1 9 0 R >> >> >>");
}

TEST(RebuildPageDict, OwnAttributesAreNeverAddedTwiceAndValuesCopyVerbatim)
{
    page_entry pe = letter_page();
    pe.rotate = 180;
    pe.has_resources = 1;
    pe.resources_num = 99;
    EXPECT_EQ(rebuild("<< /Rotate 90 /Resources 7 0 R /Extra << /A (x>>) /B <3E> >> "
                      "/T (a(b)c\\)) /MediaBox [1 2 3 4] >>",
                      pe),
              "<< /Rotate 90 /Resources 7 0 R /Extra << /A (x>>) /B <3E> >> /T (a(b)c\\)) "
              "/MediaBox [1 2 3 4] /Parent 12 0 R >>");
}

TEST(RebuildPageDict, EmptyAndParentOnlyDictionaries)
{
    page_entry pe = letter_page();
    EXPECT_EQ(rebuild("<<>>", pe), "<< /Parent 12 0 R /MediaBox [0 0 612 792] >>");
    EXPECT_EQ(rebuild("<</Parent 3 0 R>>", pe), "<< /Parent 12 0 R /MediaBox [0 0 612 792] >>");
    EXPECT_EQ(rebuild("<< /Parent 3 0 R/Type/Page >>", pe),
              "<< /Type/Page /Parent 12 0 R /MediaBox [0 0 612 792] >>");
}

TEST(RebuildPageDict, ValueEnds)
{
    page_entry pe = letter_page();
    // "Rx" does not end a reference: the value is the bare 5, and "0 Rx" is
    // dropped as stray bytes.
    EXPECT_EQ(rebuild("<< /Contents 5 0 Rx >>", pe),
              "<< /Contents 5 /Parent 12 0 R /MediaBox [0 0 612 792] >>");
    EXPECT_EQ(rebuild("<< /Annots [ 8 0 R ] /T (a]b) /ID <0A1B>/K 1 >>", pe),
              "<< /Annots [ 8 0 R ] /T (a]b) /ID <0A1B> /K 1 /Parent 12 0 R "
              "/MediaBox [0 0 612 792] >>");
    // No white space is needed between generation and R; a real is copied
    // whole; a sign starts a number too.
    EXPECT_EQ(rebuild("<< /A 5 0R/B -1.5/C +3 /D true>>", pe),
              "<< /A 5 0R /B -1.5 /C +3 /D true /Parent 12 0 R /MediaBox [0 0 612 792] >>");
    // Nested arrays count brackets; a bracket inside a string does not.
    EXPECT_EQ(rebuild("<< /A [[1] (]) 2] /B 1 >>", pe),
              "<< /A [[1] (]) 2] /B 1 /Parent 12 0 R /MediaBox [0 0 612 792] >>");
}

TEST(RebuildPageDict, KeyWithoutValueAndLookalikeKeys)
{
    page_entry pe = letter_page();
    pe.rotate = 90;
    EXPECT_EQ(rebuild("<< /Type /Page /Foo >>", pe),
              "<< /Type /Page /Foo  /Parent 12 0 R /MediaBox [0 0 612 792] /Rotate 90 >>");
    // Whole-key matches only: these set no flag and /Parents is kept.
    EXPECT_EQ(rebuild("<< /Parents 1 /RotateX 2 /MediaBoxes 3 >>", pe),
              "<< /Parents 1 /RotateX 2 /MediaBoxes 3 /Parent 12 0 R /MediaBox [0 0 612 792] "
              "/Rotate 90 >>");
    // A key running to the end of the range is not written.
    std::string cut = "<< /Type /Page /Cut";
    EXPECT_EQ(rebuild(cut, pe),
              "<< /Type /Page /Parent 12 0 R /MediaBox [0 0 612 792] /Rotate 90 >>");
}

TEST(RebuildPageDict, UnterminatedValuesRunToTheEnd)
{
    page_entry pe = letter_page();
    EXPECT_EQ(rebuild("<< /T (open /K 1 >>", pe),
              "<< /T (open /K 1 >> /Parent 12 0 R /MediaBox [0 0 612 792] >>");
    EXPECT_EQ(rebuild("<< /A [1 2 >>", pe),
              "<< /A [1 2 >> /Parent 12 0 R /MediaBox [0 0 612 792] >>");
}

TEST(RebuildPageDict, InheritedInlineResourcesAreCopiedWithTheirNulBytes)
{
    page_entry pe = letter_page();
    std::string res("<< /X (a\0b) >>", 14);
    pe.has_resources = 1;
    pe.resources_num = -1;
    pe.resources_text = &res[0];
    pe.resources_len = static_cast<int32_t>(res.size());
    EXPECT_EQ(rebuild("<< >>", pe),
              "<< /Parent 12 0 R /MediaBox [0 0 612 792] /Resources " + res + " >>");
}

TEST(RebuildPageDict, RangeInsideALargerBuffer)
{
    page_entry pe = letter_page();
    std::string file = "3 0 obj\n<< /Type /Page >>\nendobj\n";
    out_buf b{};
    const unsigned char *text = reinterpret_cast<const unsigned char *>(file.data());
    rebuild_page_dict(&b, text, 8, 25, 12, pe);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(b.data), static_cast<size_t>(b.len)),
              "<< /Type /Page /Parent 12 0 R /MediaBox [0 0 612 792] >>");
    buf_release(&b);
}
