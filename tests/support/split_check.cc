#include "support/split_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "rorezide.h"
#include "support/pdf_check.h"

bool qpdf_clean(const std::string &path, std::string *report)
{
    return run_command("qpdf --check '" + path + "' 2>&1", report) == 0;
}

void expect_same_pages(const std::string &input, const std::string &output,
                       const std::vector<int> &pages, const output_check &also)
{
    std::string report;
    EXPECT_TRUE(qpdf_clean(output, &report)) << output << "\n" << report;
    EXPECT_EQ(rorezide_page_count(output.c_str()), static_cast<int>(pages.size())) << output;
    for (size_t k = 0; k < pages.size(); k++) {
        std::string want = render_page(input, pages[k]);
        ASSERT_FALSE(want.empty()) << input << " page " << pages[k];
        EXPECT_TRUE(render_page(output, static_cast<int>(k) + 1) == want)
            << output << " page " << k + 1 << " differs from input page " << pages[k];
    }
    if (also)
        also(output);
}

void check_all_splits(const producers_dir &d, const std::string &input, const output_check &also)
{
    int pages = rorezide_page_count(input.c_str());
    ASSERT_GE(pages, 2) << rorezide_last_error();
    std::string report;
    ASSERT_TRUE(qpdf_clean(input, &report)) << "the input itself: " << report;

    std::string all = d.path("all");
    ASSERT_EQ(rorezide_all(input.c_str(), all.c_str()), 1) << rorezide_last_error();
    for (int i = 1; i <= pages; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "/page_%03d.pdf", i);
        expect_same_pages(input, all + name, {i}, also);
    }

    std::string chunks = d.path("chunks");
    ASSERT_EQ(rorezide_every_n(input.c_str(), 2, chunks.c_str()), 1) << rorezide_last_error();
    expect_same_pages(input, chunks + "/split_001.pdf", {1, 2}, also);

    std::string picked = d.path("picked.pdf");
    int list[4] = {pages, 1, pages, pages};
    ASSERT_EQ(rorezide_pages(input.c_str(), list, 2, picked.c_str()), 1);
    expect_same_pages(input, picked, {pages, 1}, also);
    // A page listed three times is three page objects.
    std::string again = d.path("again.pdf");
    ASSERT_EQ(rorezide_pages(input.c_str(), list, 4, again.c_str()), 1);
    expect_same_pages(input, again, {pages, 1, pages, pages}, also);
    std::vector<int> kids = new_kids(read_file(again));
    EXPECT_EQ(std::set<int>(kids.begin(), kids.end()).size(), 4u);

    std::string kept = d.path("kept.pdf");
    int drop[1] = {1};
    ASSERT_EQ(rorezide_remove(input.c_str(), drop, 1, kept.c_str()), 1);
    std::vector<int> rest;
    for (int i = 2; i <= pages; i++)
        rest.push_back(i);
    expect_same_pages(input, kept, rest, also);
}

bool have_checkers()
{
    return have_tool("qpdf") && have_tool("pdftoppm");
}
