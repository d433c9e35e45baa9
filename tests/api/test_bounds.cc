// Files that claim far more than they hold: a stream length of 2^31 - 1,
// an object stream of a billion objects, the highest object number the
// index keeps, comments that run over thousands of keys, a /Prev loop, a million kids, a tree a hundred thousand
// levels deep, a compression bomb, thousands of dictionaries that never
// close and of trailers without startxref. Each must load or fail with the
// usual conventions, in memory and time that follow the file's real size;
// ctest's timeout and the ASan build catch what does not.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/hostile_docs.h"
#include "support/pdf_check.h"

namespace {

struct hostile_file {
    std::string dir = make_temp_dir();
    std::string in = dir + "/in.pdf";
    std::string out = dir + "/out.pdf";
    explicit hostile_file(const std::string &bytes) { write_file(in, bytes); }
    ~hostile_file()
    {
        unlink(in.c_str());
        unlink(out.c_str());
        rmdir(dir.c_str());
    }

    int count() { return rorezide_page_count(in.c_str()); }

    // Writes pages first..last and returns the written file ("" on failure).
    std::string range(int first, int last)
    {
        if (rorezide_range(in.c_str(), first, last, out.c_str()) != 1)
            return "";
        std::string pdf = read_file(out);
        unlink(out.c_str());
        return pdf;
    }
};

std::string message()
{
    return rorezide_last_error();
}

}  // namespace

TEST(HostileBounds, StreamLengthsBeyondTheFile)
{
    hostile_file f(huge_length_pdf());
    ASSERT_EQ(f.count(), 2) << message();
    std::string pdf = f.range(1, 2);
    ASSERT_NE(pdf, "") << message();
    EXPECT_EQ(check_layout(pdf), "");
    // The data runs up to the "endstream" keyword, line end included, since
    // one stated length runs past the end of the file and the other is
    // negative.
    EXPECT_NE(pdf.find("stream\nBT /F1 9 Tf (one) Tj ET\n\nendstream"), std::string::npos);
    EXPECT_NE(pdf.find("stream\nBT /F1 9 Tf (two) Tj ET\n\nendstream"), std::string::npos);
}

TEST(HostileBounds, ObjectStreamClaimingABillionObjects)
{
    // The header holds five pairs; the billion announced cost nothing more,
    // and the last pair, whose range has no successor to end it, is lost,
    // so its page is missing from the tree.
    hostile_file f(huge_objstm_count_pdf());
    EXPECT_EQ(f.count(), -1);
    EXPECT_NE(message().find("Could not resolve page tree"), std::string::npos) << message();
}

TEST(HostileBounds, HighestObjectNumberInATenMegabyteFile)
{
    hostile_file f(high_object_number_pdf(10u << 20));
    ASSERT_EQ(f.count(), 1) << message();
    // The numbers run up to 8,388,607 (8,388,608 was never indexed), but
    // the cross-reference table lists only what the page writes, so the
    // file stays small.
    std::string pdf = f.range(1, 1);
    ASSERT_NE(pdf, "") << message();
    EXPECT_NE(pdf.find("trailer\n<< /Size 8388610 /Root 8388608 0 R >>"), std::string::npos);
    EXPECT_LT(pdf.size(), 2000u);
}

TEST(HostileBounds, CommentsRunningOverThousandsOfKeysAndHeaders)
{
    hostile_file f(commented_line_pdf(300000));
    ASSERT_EQ(f.count(), 1) << message();
    std::string pdf = f.range(1, 1);
    ASSERT_NE(pdf, "") << message();
    EXPECT_EQ(check_layout(pdf), "");
    EXPECT_NE(pdf.find("stream\n0 g 0\nendstream"), std::string::npos);
}

TEST(HostileBounds, PrevEntriesInACycle)
{
    hostile_file f(prev_cycle_pdf());
    EXPECT_EQ(f.count(), 1) << message();
    EXPECT_NE(f.range(1, 1), "") << message();
}

TEST(HostileBounds, AMillionKids)
{
    hostile_file f(many_kids_pdf(1000000));
    ASSERT_EQ(f.count(), 1000000) << message();
    std::string pdf = f.range(999999, 1000000);
    ASSERT_NE(pdf, "") << message();
    EXPECT_EQ(page_kids(pdf), (std::vector<int>{3, 3}));
}

TEST(HostileBounds, PageTreeAHundredThousandLevelsDeep)
{
    hostile_file f(deep_tree_pdf(100000));
    ASSERT_EQ(f.count(), 1) << message();
    std::string pdf = f.range(1, 1);
    ASSERT_NE(pdf, "") << message();
    EXPECT_EQ(new_kids(pdf), (std::vector<int>{100002}));
}

TEST(HostileBounds, CompressionBombBeyondEveryCapacityIsSkipped)
{
    // About 7 MB expanding to 1.2 GB: more than the last capacity the
    // retries would reach, so the stream is skipped after counting and its
    // objects are missing.
    hostile_file f(objstm_bomb_pdf(size_t(1200) << 20));
    EXPECT_EQ(f.count(), -1);
    EXPECT_NE(message().find("No PDF objects found"), std::string::npos) << message();
}

TEST(HostileBounds, CompressionBombWithinTheCapacitiesLoads)
{
    // 1.3 MB expanding to 200 MB: decoded into a buffer of exactly that
    // size; the page's text then runs over the expanded tail.
    hostile_file f(objstm_bomb_pdf(size_t(200) << 20));
    ASSERT_EQ(f.count(), 1) << message();
    std::string pdf = f.range(1, 1);
    ASSERT_NE(pdf, "") << message();
    EXPECT_EQ(check_layout(pdf), "");
    EXPECT_LT(pdf.size(), 4096u);
}

TEST(HostileBounds, DictionariesThatNeverClose)
{
    hostile_file f(unclosed_objects_pdf(20000));
    int n = f.count();
    EXPECT_EQ(n, 1) << message();
    EXPECT_NE(f.range(1, 1), "") << message();
}

TEST(HostileBounds, TrailersWithoutStartxref)
{
    hostile_file f(many_trailers_pdf(50000));
    EXPECT_EQ(f.count(), 1) << message();
}

// Texts that overlap: every node is read once, but what the reads add up to
// is bounded by the file's size, so a few shared texts still load while
// thousands fail instead of costing thousands of passes.
TEST(HostileBounds, ObjectsSharingOneText)
{
    std::string page = "<< /Type /Page /Parent 2 0 R >>" + std::string(256 << 10, ' ');
    hostile_file few(shared_text_pdf(8, page));
    EXPECT_EQ(few.count(), 8) << message();

    hostile_file many(shared_text_pdf(4000, page));
    EXPECT_EQ(many.count(), -1);
    EXPECT_NE(message().find("Could not resolve page tree"), std::string::npos) << message();
}

TEST(HostileBounds, PagesNodesSharingOneKidsArray)
{
    std::string kids = "/Type /Pages /Kids [";
    for (int i = 0; i < 10000; i++)
        kids += "5 0 R ";
    kids += "]";
    hostile_file few(shared_text_pdf(3, kids));
    EXPECT_EQ(few.count(), 30000) << message();

    // 20 million listings from a file of 100 kB: the page list stops far
    // short of them.
    hostile_file many(shared_text_pdf(2000, kids));
    EXPECT_EQ(many.count(), -1);
    EXPECT_EQ(message(), "Out of memory");
}

TEST(HostileBounds, PagesNestedInsideEachOther)
{
    hostile_file few(nested_objects_pdf(200));
    EXPECT_EQ(few.count(), 200) << message();

    hostile_file many(nested_objects_pdf(20000));
    EXPECT_EQ(many.count(), -1);
    EXPECT_NE(message().find("Could not resolve page tree"), std::string::npos) << message();
}

TEST(HostileBounds, CopiedBodiesThatOverlap)
{
    // 200 bodies of about 2 kB each still make a small output, written
    // whole; 30,000 of them would need gigabytes from 700 kB and are
    // refused.
    hostile_file few(overlapping_bodies_pdf(200));
    ASSERT_EQ(few.count(), 1) << message();
    std::string pdf = few.range(1, 1);
    ASSERT_NE(pdf, "") << message();
    EXPECT_EQ(check_layout(pdf), "");

    hostile_file many(overlapping_bodies_pdf(30000));
    ASSERT_EQ(many.count(), 1) << message();
    EXPECT_EQ(many.range(1, 1), "");
    EXPECT_EQ(message(), "Output too large for a PDF 1.4 file (2 GiB or more): '" + many.out + "'");
    EXPECT_FALSE(file_exists(many.out));
}

namespace {

// The largest input there is, 2^31 - 1 bytes: a sparse file of NULs (PDF
// white space) but for its header and `tail` written to end `back` bytes
// before the end. Scans that run to the very end of such a file must not
// step to a position one further, which no longer fits in 32 bits. Returns
// "" when no such file can be made here, else the path (the caller removes
// it and its directory). `last` is written to end the file.
std::string largest_input(const std::string &tail, int64_t back, const std::string &last = "")
{
    std::string dir = make_temp_dir();
    std::string path = dir + "/largest.pdf";
    const int64_t size = INT64_C(0x7FFFFFFF);
    if (!make_sparse_file(path, size,
                          {{0, "%PDF-1.4\n"},
                           {size - back, tail},
                           {size - static_cast<int64_t>(last.size()), last}})) {
        remove_tree(dir);
        return "";
    }
    return path;
}

void remove_largest(const std::string &path)
{
    remove_tree(path.substr(0, path.rfind('/')));
}

}  // namespace

TEST(HostileBounds, LargestInputEndingInWhiteSpace)
{
    // After this object header's "obj", white space runs to the end.
    std::string path = largest_input("1 0 obj", 64);
    if (path.empty())
        GTEST_SKIP() << "cannot make a sparse file of 2 GiB - 1 here";
    EXPECT_EQ(rorezide_page_count(path.c_str()), -1);
    EXPECT_EQ(message(), "Catalog has no /Pages reference in '" + path + "'");
    remove_largest(path);
}

TEST(HostileBounds, LargestInputEndingInAStringEscape)
{
    // A dictionary whose literal string ends the file with a backslash.
    std::string path = largest_input("1 0 obj\n<< /Type /Catalog /A (", 64, "\\");
    if (path.empty())
        GTEST_SKIP() << "cannot make a sparse file of 2 GiB - 1 here";
    EXPECT_EQ(rorezide_page_count(path.c_str()), -1);
    EXPECT_EQ(message(), "Catalog has no /Pages reference in '" + path + "'");
    remove_largest(path);
}
