#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "rorezide.h"
#include "support/fixture.h"

TEST(LastError, EmptyStableAndCut)
{
    EXPECT_EQ(rorezide_init(), 1);
    const char *a = rorezide_last_error();
    EXPECT_STREQ(a, "");
    EXPECT_EQ(rorezide_page_count(nullptr), -1);
    EXPECT_STREQ(rorezide_last_error(), "NULL input path");
    EXPECT_EQ(rorezide_last_error(), a);
    EXPECT_STREQ(rorezide_last_error(), "NULL input path");  // reading does not clear
    EXPECT_EQ(rorezide_init(), 1);
    EXPECT_STREQ(rorezide_last_error(), "");

    std::string long_path(2000, 'p');
    EXPECT_EQ(rorezide_page_count(long_path.c_str()), -1);
    EXPECT_EQ(std::string(rorezide_last_error()).size(), 1023u);
    EXPECT_EQ(std::string(rorezide_last_error()).rfind("Cannot open input file 'ppp", 0), 0u);
    rorezide_cleanup();
    EXPECT_STREQ(rorezide_last_error(), "");
}

TEST(PageCount, FileLevelFailures)
{
    std::string dir = make_temp_dir();
    std::string missing = dir + "/missing.pdf";
    EXPECT_EQ(rorezide_page_count(missing.c_str()), -1);
    EXPECT_EQ(std::string(rorezide_last_error()), "Cannot open input file '" + missing + "'");

    std::string nine = dir + "/nine.pdf";
    write_file(nine, "%PDF-1.4\n");
    EXPECT_EQ(rorezide_page_count(nine.c_str()), -1);
    EXPECT_EQ(std::string(rorezide_last_error()),
              "File too short to be a valid PDF: '" + nine + "'");

    std::string ten = dir + "/ten.pdf";
    write_file(ten, "%PDF-1.4\n\n");
    EXPECT_EQ(rorezide_page_count(ten.c_str()), -1);
    EXPECT_EQ(std::string(rorezide_last_error()), "No PDF objects found in '" + ten + "'");

    EXPECT_EQ(rorezide_page_count(dir.c_str()), -1);  // a directory is no file
    EXPECT_NE(std::string(rorezide_last_error()), "");
}

TEST(PageCount, SuccessLeavesTheMessageEmpty)
{
    std::string dir = make_temp_dir();
    std::string path = dir + "/one.pdf";
    write_file(path, simple_pdf(1));
    EXPECT_EQ(rorezide_page_count(nullptr), -1);
    EXPECT_EQ(rorezide_page_count(path.c_str()), 1);
    EXPECT_STREQ(rorezide_last_error(), "");
}

TEST(PageCount, FilesOf2GiBAreRefusedBeforeReading)
{
    // Sparse files: their sizes are 2 GiB and more, but they take no room on
    // disk. Positions of 32 bits would see sizes of 0, 1 GiB and 100 bytes
    // in the first three, and a whole one-page PDF in the last.
    std::string dir = make_temp_dir();
    std::string path = dir + "/huge.pdf";
    std::string one_page = simple_pdf(1);
    const int64_t gib = INT64_C(1) << 30;
    const struct {
        int64_t size;
        std::string start;
    } cases[] = {{2 * gib, ""},
                 {3 * gib, ""},
                 {4 * gib + 100, ""},
                 {4 * gib + static_cast<int64_t>(one_page.size()), one_page}};
    for (const auto &c : cases) {
        if (!make_sparse_file(path, c.size, {{0, c.start}}))
            GTEST_SKIP() << "cannot make a sparse file of " << c.size << " bytes here";
        EXPECT_EQ(rorezide_page_count(path.c_str()), -1) << c.size;
        EXPECT_EQ(std::string(rorezide_last_error()),
                  "File too large (2 GiB or more): '" + path + "'")
            << c.size;
    }
    remove_tree(dir);
}
