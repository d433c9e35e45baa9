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

TEST(CliPagelist, LastPage)
{
    std::vector<page_span> spans;
    std::string e;
    ASSERT_TRUE(pagelist_parse("1,2-3", &spans, &e));
    EXPECT_FALSE(pagelist_uses_last_page(spans));
    ASSERT_TRUE(pagelist_parse("1,z-3", &spans, &e));
    EXPECT_TRUE(pagelist_uses_last_page(spans));
    ASSERT_TRUE(pagelist_parse("3-z", &spans, &e));
    EXPECT_TRUE(pagelist_uses_last_page(spans));

    EXPECT_EQ(expand("z", 5), std::vector<int>{5});
    EXPECT_EQ(expand("2-z", 5), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(expand("z-3", 5), (std::vector<int>{5, 4, 3}));
    EXPECT_EQ(expand("z-7", 5), (std::vector<int>{5, 6, 7}));
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
}
