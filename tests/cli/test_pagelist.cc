// The command line's page-list reader and integer arguments, called
// directly: the edges the command itself makes awkward to reach.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "cli/pagelist.h"

namespace {

// The pages LIST expands to with last_page as `z`, or {-1000, error}.
std::vector<int> expand(const std::string &list, int last_page, std::string *error = nullptr)
{
    std::vector<page_span> spans;
    std::vector<int> pages;
    std::string e;
    if (!pagelist_parse(list, &spans, &e) || !pagelist_expand(spans, last_page, &pages, &e)) {
        if (error)
            *error = e;
        return {-1000};
    }
    return pages;
}

}  // namespace

TEST(CliArgToInt, AcceptsExactlyTheIntRange)
{
    int v = 7;
    EXPECT_TRUE(arg_to_int("2147483647", &v));
    EXPECT_EQ(v, INT_MAX);
    EXPECT_TRUE(arg_to_int("-2147483648", &v));
    EXPECT_EQ(v, INT_MIN);
    EXPECT_TRUE(arg_to_int("+12", &v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(arg_to_int("-0", &v));
    EXPECT_EQ(v, 0);
    v = 7;
    for (const char *bad : {"2147483648", "-2147483649", "99999999999999999999999", "", "+",
                            "-", "1 ", " 1", "1e3", "0x10", "--1", "+-1"}) {
        EXPECT_FALSE(arg_to_int(bad, &v)) << bad;
        EXPECT_EQ(v, 7) << bad;
    }
}

TEST(CliPagelist, ItemsAndRanges)
{
    EXPECT_EQ(expand("3,1,5-7", 0), (std::vector<int>{3, 1, 5, 6, 7}));
    EXPECT_EQ(expand("9-7", 0), (std::vector<int>{9, 8, 7}));
    EXPECT_EQ(expand("0-2", 0), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(expand("2147483647", 0), std::vector<int>{INT_MAX});
    EXPECT_EQ(expand("2147483646-2147483647", 0), (std::vector<int>{INT_MAX - 1, INT_MAX}));
}

TEST(CliPagelist, CountingFromTheEnd)
{
    std::vector<page_span> spans;
    std::string e;
    ASSERT_TRUE(pagelist_parse("1,2-3:odd", &spans, &e));
    EXPECT_FALSE(pagelist_counts_from_end(spans));
    for (const char *list : {"1,z-3", "3-z", "r2", "1-r1:even"}) {
        ASSERT_TRUE(pagelist_parse(list, &spans, &e)) << list;
        EXPECT_TRUE(pagelist_counts_from_end(spans)) << list;
    }

    struct {
        const char *list;
        std::vector<int> pages;
    } cases[] = {
        {"z", {5}},
        {"2-z", {2, 3, 4, 5}},
        {"z-3", {5, 4, 3}},
        {"z-7", {5, 6, 7}},
        {"r1", {5}},
        {"r5", {1}},
        {"r2-z", {4, 5}},
        {"z-r3", {5, 4, 3}},
        {"r002,1", {4, 1}},
    };
    for (auto &c : cases)
        EXPECT_EQ(expand(c.list, 5), c.pages) << c.list;
}

// Positions count from the range's first page, whichever way it runs.
TEST(CliPagelist, OddAndEvenPositions)
{
    struct {
        const char *list;
        std::vector<int> pages;
    } cases[] = {
        {"1-z:odd", {1, 3, 5, 7}},
        {"1-z:even", {2, 4, 6}},
        {"2-7:odd", {2, 4, 6}},
        {"2-7:even", {3, 5, 7}},
        {"9-5:odd", {9, 7, 5}},
        {"z-1:even", {6, 4, 2}},
        {"3-3:odd", {3}},
        {"3-3:even", {}},
        {"r3-z:odd,1", {5, 7, 1}},
    };
    for (auto &c : cases)
        EXPECT_EQ(expand(c.list, 7), c.pages) << c.list;
}

TEST(CliPagelist, PagesOutsideTheDocumentAreNamedAsTyped)
{
    struct {
        const char *list;
        int page_count;
        const char *outside;  // "" when every end is inside
    } cases[] = {
        {"1-z,r3", 3, ""},
        {"2,4-1", 3, "4"},
        {"0-z", 3, "0"},
        {"1-20000000", 3, "20000000"},
        {"z,r4", 3, "r4"},
        {"r0", 3, "r0"},
        {"r2147483647", 3, "r2147483647"},
    };
    for (auto &c : cases) {
        std::vector<page_span> spans;
        std::string e, page;
        ASSERT_TRUE(pagelist_parse(c.list, &spans, &e)) << c.list;
        bool outside = pagelist_find_outside(spans, c.page_count, &page);
        EXPECT_EQ(outside, c.outside[0] != '\0') << c.list;
        EXPECT_EQ(page, c.outside) << c.list;
    }
}

TEST(CliPagelist, MalformedListsSayWhy)
{
    std::string e;
    expand("", 1, &e);
    EXPECT_EQ(e, "empty page list");
    expand("1,,2", 1, &e);
    EXPECT_EQ(e, "empty item");
    expand("1,", 1, &e);
    EXPECT_EQ(e, "empty item");
    expand("1-", 1, &e);
    EXPECT_EQ(e, "a range needs a page on both sides of '-'");
    expand("-1", 1, &e);
    EXPECT_EQ(e, "a range needs a page on both sides of '-'");
    expand("1-2-3", 1, &e);
    EXPECT_EQ(e, "'1-2-3' has more than one '-'");
    expand("2,x", 1, &e);
    EXPECT_EQ(e, "'x' is not a page number");
    expand("4-zz", 1, &e);
    EXPECT_EQ(e, "'zz' is not a page number");
    expand("2147483648", 1, &e);
    EXPECT_EQ(e, "page number '2147483648' is too large");
    expand("r", 1, &e);
    EXPECT_EQ(e, "'r' is not a page number");
    expand("1-rz", 1, &e);
    EXPECT_EQ(e, "'rz' is not a page number");
    expand("1-z:od", 1, &e);
    EXPECT_EQ(e, "'1-z:od' ends in ':od', not ':odd' or ':even'");
    expand("1-z:odd:even", 1, &e);
    EXPECT_EQ(e, "'1-z:odd:even' ends in ':odd:even', not ':odd' or ':even'");
    expand("4:even", 1, &e);
    EXPECT_EQ(e, "':odd' and ':even' follow a range, not the single page '4'");
}

TEST(CliPagelist, ExpansionIsBounded)
{
    std::string e;
    std::string at_limit = "1-" + std::to_string(pagelist_max_pages);
    EXPECT_EQ(expand(at_limit, 0, &e).size(), static_cast<size_t>(pagelist_max_pages));
    EXPECT_EQ(expand(at_limit + ",1", 0, &e), std::vector<int>{-1000});
    EXPECT_EQ(e, "the list holds more than 16777216 pages");
    // Spans whose sizes would overflow an int when added up.
    EXPECT_EQ(expand("1-2147483647,2147483647-1", 0, &e), std::vector<int>{-1000});
    // Odd positions halve a span before the limit applies.
    std::string twice = "1-" + std::to_string(2 * pagelist_max_pages) + ":odd";
    EXPECT_EQ(expand(twice, 0, &e).size(), static_cast<size_t>(pagelist_max_pages));
    EXPECT_EQ(expand(twice + ",1", 0, &e), std::vector<int>{-1000});
}
