#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <string>
#include <vector>

#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"

namespace {

// A temp directory holding in.pdf, a simple document of n pages (page k is
// object k + 2), removed on scope exit.
struct workspace {
    std::string dir = make_temp_dir();
    std::string in = dir + "/in.pdf";
    explicit workspace(int pages) { write_file(in, simple_pdf(pages)); }
    ~workspace() { remove_tree(dir); }
    std::string path(const std::string &name) const { return dir + "/" + name; }
};

std::string last_error()
{
    return rorezide_last_error();
}

// The page objects a written file lists in its new pages node.
std::vector<int> kids_of(const std::string &path)
{
    std::string pdf = read_file(path);
    EXPECT_EQ(check_layout(pdf), "") << path;
    return page_kids(pdf);
}

bool is_dir(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The first output name a split call tries, read from the message it gives
// when the output directory cannot exist (it lies under a regular file).
std::string first_output_name(int pages, int n)
{
    workspace w(pages);
    write_file(w.path("file"), "x");
    std::string dir = w.path("file/sub");
    int ok = n > 0 ? rorezide_every_n(w.in.c_str(), n, dir.c_str())
                   : rorezide_all(w.in.c_str(), dir.c_str());
    EXPECT_EQ(ok, 0);
    std::string msg = last_error();
    std::string head = "Cannot open output file '" + dir + "/";
    if (msg.compare(0, head.size(), head) != 0)
        return "unexpected: " + msg;
    return msg.substr(head.size(), msg.size() - head.size() - std::string("' for writing").size());
}

}  // namespace

TEST(SplitChecks, ArgumentsThatNeedNoDocumentComeFirst)
{
    EXPECT_EQ(rorezide_all("/no/such.pdf", nullptr), 0);
    EXPECT_EQ(last_error(), "NULL or empty output directory");
    EXPECT_EQ(rorezide_all(nullptr, ""), 0);
    EXPECT_EQ(last_error(), "NULL or empty output directory");

    EXPECT_EQ(rorezide_every_n("/no/such.pdf", 0, nullptr), 0);
    EXPECT_EQ(last_error(), "Invalid chunk size n = 0 (must be >= 1)");
    EXPECT_EQ(rorezide_every_n("/no/such.pdf", -7, "out"), 0);
    EXPECT_EQ(last_error(), "Invalid chunk size n = -7 (must be >= 1)");
    EXPECT_EQ(rorezide_every_n("/no/such.pdf", 2, ""), 0);
    EXPECT_EQ(last_error(), "NULL or empty output directory");

    int pages[1] = {1};
    EXPECT_EQ(rorezide_pages("/no/such.pdf", nullptr, 1, "out.pdf"), 0);
    EXPECT_EQ(last_error(), "Invalid page array or page count <= 0");
    EXPECT_EQ(rorezide_pages("/no/such.pdf", pages, 0, "out.pdf"), 0);
    EXPECT_EQ(last_error(), "Invalid page array or page count <= 0");
}

TEST(SplitChecks, LoaderFailuresWinOverEverythingLookedAtLater)
{
    EXPECT_EQ(rorezide_range("/no/such.pdf", 0, -1, nullptr), 0);
    EXPECT_EQ(last_error(), "Cannot open input file '/no/such.pdf'");
    EXPECT_EQ(rorezide_remove("/no/such.pdf", nullptr, 0, nullptr), 0);
    EXPECT_EQ(last_error(), "Cannot open input file '/no/such.pdf'");
    int zero[1] = {0};
    EXPECT_EQ(rorezide_pages(nullptr, zero, 1, nullptr), 0);
    EXPECT_EQ(last_error(), "NULL input path");
    EXPECT_EQ(rorezide_every_n("/no/such.pdf", 1, "out"), 0);
    EXPECT_EQ(last_error(), "Cannot open input file '/no/such.pdf'");
}

TEST(SplitRange, WritesTheRangeOrRefusesIt)
{
    workspace w(3);
    std::string out = w.path("r.pdf");
    EXPECT_EQ(rorezide_range(w.in.c_str(), 2, 2, out.c_str()), 1);
    EXPECT_EQ(last_error(), "");
    EXPECT_EQ(kids_of(out), std::vector<int>({4}));
    EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 3, out.c_str()), 1);
    EXPECT_EQ(kids_of(out), std::vector<int>({3, 4, 5}));

    EXPECT_EQ(rorezide_range(w.in.c_str(), 0, 5, out.c_str()), 0);
    EXPECT_EQ(last_error(), "Invalid page range 0 to 5 (document has 3 pages)");
    EXPECT_EQ(rorezide_range(w.in.c_str(), 3, 2, out.c_str()), 0);
    EXPECT_EQ(last_error(), "Invalid page range 3 to 2 (document has 3 pages)");
    EXPECT_EQ(rorezide_range(w.in.c_str(), 2, 4, out.c_str()), 0);
    EXPECT_EQ(last_error(), "Invalid page range 2 to 4 (document has 3 pages)");
    EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 2, nullptr), 0);
    EXPECT_EQ(last_error(), "NULL or empty output path");
    EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 2, ""), 0);
    EXPECT_EQ(last_error(), "NULL or empty output path");
}

TEST(SplitPages, KeepsTheCallersOrderAndRepeats)
{
    workspace w(3);
    std::string out = w.path("p.pdf");
    int list[3] = {3, 1, 3};
    EXPECT_EQ(rorezide_pages(w.in.c_str(), list, 3, out.c_str()), 1);
    EXPECT_EQ(last_error(), "");
    EXPECT_EQ(kids_of(out), std::vector<int>({5, 3, 5}));
    EXPECT_NE(read_file(out).find("/Type /Pages /Count 3 /Kids"), std::string::npos);

    int bad[3] = {1, 4, 0};
    EXPECT_EQ(rorezide_pages(w.in.c_str(), bad, 3, out.c_str()), 0);
    EXPECT_EQ(last_error(), "Page index 4 out of range (document has 3 pages)");
    int zero[1] = {0};
    EXPECT_EQ(rorezide_pages(w.in.c_str(), zero, 1, out.c_str()), 0);
    EXPECT_EQ(last_error(), "Page index 0 out of range (document has 3 pages)");
    EXPECT_EQ(rorezide_pages(w.in.c_str(), list, 1, ""), 0);
    EXPECT_EQ(last_error(), "NULL or empty output path");
}

TEST(SplitRemove, KeepsTheRestInDocumentOrder)
{
    workspace w(3);
    std::string out = w.path("rm.pdf");
    int twice[2] = {2, 2};
    EXPECT_EQ(rorezide_remove(w.in.c_str(), twice, 2, out.c_str()), 1);
    EXPECT_EQ(kids_of(out), std::vector<int>({3, 5}));
    int reversed[2] = {3, 1};
    EXPECT_EQ(rorezide_remove(w.in.c_str(), reversed, 2, out.c_str()), 1);
    EXPECT_EQ(kids_of(out), std::vector<int>({4}));
    EXPECT_EQ(rorezide_remove(w.in.c_str(), nullptr, 5, out.c_str()), 1);
    EXPECT_EQ(kids_of(out), std::vector<int>({3, 4, 5}));
    EXPECT_EQ(rorezide_remove(w.in.c_str(), twice, 0, out.c_str()), 1);
    EXPECT_EQ(kids_of(out), std::vector<int>({3, 4, 5}));
    EXPECT_EQ(last_error(), "");

    std::string none = w.path("none.pdf");
    int all[3] = {1, 3, 2};
    EXPECT_EQ(rorezide_remove(w.in.c_str(), all, 3, none.c_str()), 0);
    EXPECT_EQ(last_error(), "Cannot remove all pages from PDF (0 pages remaining)");
    EXPECT_FALSE(file_exists(none));
    int zero[1] = {0};
    EXPECT_EQ(rorezide_remove(w.in.c_str(), zero, 1, none.c_str()), 0);
    EXPECT_EQ(last_error(), "Page index 0 out of range (1..3)");
    int past[2] = {1, 4};
    EXPECT_EQ(rorezide_remove(w.in.c_str(), past, 2, none.c_str()), 0);
    EXPECT_EQ(last_error(), "Page index 4 out of range (1..3)");
    EXPECT_FALSE(file_exists(none));
    int one[1] = {1};
    EXPECT_EQ(rorezide_remove(w.in.c_str(), one, 1, nullptr), 0);
    EXPECT_EQ(last_error(), "NULL or empty output path");
}

TEST(SplitAll, OneFilePerPageInACreatedDirectory)
{
    workspace w(3);
    std::string dir = w.path("deep/er/out");
    EXPECT_EQ(rorezide_all(w.in.c_str(), dir.c_str()), 1);
    EXPECT_EQ(last_error(), "");
    for (int i = 1; i <= 3; i++)
        EXPECT_EQ(kids_of(dir + "/page_00" + std::to_string(i) + ".pdf"),
                  std::vector<int>({i + 2}));
    EXPECT_FALSE(file_exists(dir + "/page_004.pdf"));
    EXPECT_FALSE(file_exists(dir + "/page_000.pdf"));
}

TEST(SplitAll, OneTrailingSeparatorIsDropped)
{
    workspace w(2);
    std::string slash = w.path("s") + "/";
    EXPECT_EQ(rorezide_all(w.in.c_str(), slash.c_str()), 1);
    EXPECT_TRUE(file_exists(w.path("s/page_001.pdf")));
    EXPECT_TRUE(file_exists(w.path("s/page_002.pdf")));
    std::string backslash = w.path("b") + "\\";
    EXPECT_EQ(rorezide_all(w.in.c_str(), backslash.c_str()), 1);
    EXPECT_TRUE(file_exists(w.path("b/page_001.pdf")));
}

TEST(SplitAll, InteriorBackslashesSeparateDirectoriesButStayInFileNames)
{
    workspace w(1);
    std::string dir = w.path("a\\b");
    int ok = rorezide_all(w.in.c_str(), dir.c_str());
    EXPECT_TRUE(is_dir(w.path("a")));
    EXPECT_TRUE(is_dir(w.path("a/b")));
#ifdef _WIN32
    // Windows reads the backslash of the file names as a separator too, so
    // the files land in a/b.
    EXPECT_EQ(ok, 1) << last_error();
    EXPECT_EQ(kids_of(w.path("a/b/page_001.pdf")), std::vector<int>({3}));
#else
    // The file names use the directory as passed.
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(last_error(), "Cannot open output file '" + dir + "/page_001.pdf' for writing");
    make_dir(dir);
    EXPECT_EQ(rorezide_all(w.in.c_str(), dir.c_str()), 1);
    EXPECT_TRUE(file_exists(dir + "/page_001.pdf"));
#endif
}

TEST(SplitAll, NumberWidthFollowsThePageCount)
{
    EXPECT_EQ(first_output_name(999, 0), "page_001.pdf");
    EXPECT_EQ(first_output_name(1000, 0), "page_0001.pdf");
    EXPECT_EQ(first_output_name(10000, 0), "page_00001.pdf");
}

TEST(SplitAll, AFailingPageKeepsTheFilesBeforeIt)
{
    workspace w(5);
    std::string dir = w.path("out");
    make_dir(dir);
    make_dir(dir + "/page_003.pdf");  // cannot be opened as a file
    EXPECT_EQ(rorezide_all(w.in.c_str(), dir.c_str()), 0);
    EXPECT_EQ(last_error(), "Cannot open output file '" + dir + "/page_003.pdf' for writing");
    EXPECT_EQ(kids_of(dir + "/page_001.pdf"), std::vector<int>({3}));
    EXPECT_EQ(kids_of(dir + "/page_002.pdf"), std::vector<int>({4}));
    EXPECT_FALSE(file_exists(dir + "/page_004.pdf"));
}

TEST(SplitEveryN, ChunksOfNWithTheRestLast)
{
    workspace w(10);
    std::string dir = w.path("chunks");
    EXPECT_EQ(rorezide_every_n(w.in.c_str(), 3, dir.c_str()), 1);
    EXPECT_EQ(last_error(), "");
    EXPECT_EQ(kids_of(dir + "/split_001.pdf"), std::vector<int>({3, 4, 5}));
    EXPECT_EQ(kids_of(dir + "/split_002.pdf"), std::vector<int>({6, 7, 8}));
    EXPECT_EQ(kids_of(dir + "/split_003.pdf"), std::vector<int>({9, 10, 11}));
    EXPECT_EQ(kids_of(dir + "/split_004.pdf"), std::vector<int>({12}));
    EXPECT_FALSE(file_exists(dir + "/split_005.pdf"));
}

TEST(SplitEveryN, ALargeNMakesOneChunk)
{
    workspace w(4);
    for (int n : {4, 5, INT_MAX}) {
        std::string dir = w.path("n" + std::to_string(n));
        EXPECT_EQ(rorezide_every_n(w.in.c_str(), n, dir.c_str()), 1);
        EXPECT_EQ(kids_of(dir + "/split_001.pdf"), std::vector<int>({3, 4, 5, 6}));
        EXPECT_FALSE(file_exists(dir + "/split_002.pdf"));
    }
}

TEST(SplitEveryN, NumberWidthFollowsTheChunkCount)
{
    EXPECT_EQ(first_output_name(999, 1), "split_001.pdf");
    EXPECT_EQ(first_output_name(1000, 1), "split_0001.pdf");
    EXPECT_EQ(first_output_name(1998, 2), "split_001.pdf");   // 999 chunks
    EXPECT_EQ(first_output_name(1999, 2), "split_0001.pdf");  // 1000 chunks
}

TEST(SplitEveryN, AFailingChunkKeepsTheFilesBeforeIt)
{
    workspace w(6);
    std::string dir = w.path("c");
    make_dir(dir);
    make_dir(dir + "/split_002.pdf");
    EXPECT_EQ(rorezide_every_n(w.in.c_str(), 2, dir.c_str()), 0);
    EXPECT_EQ(last_error(), "Cannot open output file '" + dir + "/split_002.pdf' for writing");
    EXPECT_EQ(kids_of(dir + "/split_001.pdf"), std::vector<int>({3, 4}));
    EXPECT_FALSE(file_exists(dir + "/split_003.pdf"));
}

TEST(SplitChecks, ASuccessEmptiesTheMessage)
{
    workspace w(1);
    EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 2, w.path("x.pdf").c_str()), 0);
    EXPECT_NE(last_error(), "");
    EXPECT_EQ(rorezide_range(w.in.c_str(), 1, 1, w.path("x.pdf").c_str()), 1);
    EXPECT_EQ(last_error(), "");
}

TEST(SplitAll, LongDirectoryPathsAreUsedWhole)
{
#ifdef _WIN32
    GTEST_SKIP() << "the C runtime's paths end at MAX_PATH (260) characters on Windows";
#endif
    workspace w(2);
    // Over 1,023 bytes, and long enough that its file names pass 1,280.
    for (size_t length : {1100, 1300}) {
        std::string dir = w.path("long" + std::to_string(length));
        while (dir.size() < length)
            dir += "/" + std::string(100, 'd');
        // Cutting the path would have sent the files here.
        std::string cut = dir.substr(0, 1023);
        ASSERT_EQ(run_command("mkdir -p '" + cut + "'"), 0);
        write_file(cut + "/page_001.pdf", "keep");
        EXPECT_EQ(rorezide_all(w.in.c_str(), dir.c_str()), 1) << last_error();
        EXPECT_EQ(kids_of(dir + "/page_001.pdf"), std::vector<int>({3}));
        EXPECT_EQ(kids_of(dir + "/page_002.pdf"), std::vector<int>({4}));
        EXPECT_EQ(read_file(cut + "/page_001.pdf"), "keep");
        EXPECT_EQ(rorezide_every_n(w.in.c_str(), 1, (dir + "/").c_str()), 1) << last_error();
        EXPECT_EQ(kids_of(dir + "/split_002.pdf"), std::vector<int>({4}));
    }
}
