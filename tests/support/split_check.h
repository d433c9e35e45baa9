// Test support: every split call on one input, each output checked with
// real tools against the input's pages (qpdf --check, pdftoppm renderings).
#ifndef ROREZIDE_TESTS_SUPPORT_SPLIT_CHECK_H
#define ROREZIDE_TESTS_SUPPORT_SPLIT_CHECK_H

#include <functional>
#include <string>
#include <vector>

#include "support/fixture.h"

// A fresh directory for the files of one test, removed with it.
struct producers_dir {
    std::string dir = make_temp_dir();
    ~producers_dir() { remove_tree(dir); }
    std::string path(const std::string &name) const { return dir + "/" + name; }
};

// qpdf --check passes; its output goes to *report.
bool qpdf_clean(const std::string &path, std::string *report);

// qpdf and pdftoppm are both installed.
bool have_checkers();

// A check of its own that a test adds for every written file.
using output_check = std::function<void(const std::string &output)>;

// Checks one written file: it passes qpdf --check, counts its pages and
// renders them as the listed pages of the input; then runs also.
void expect_same_pages(const std::string &input, const std::string &output,
                       const std::vector<int> &pages, const output_check &also = nullptr);

// Every split call on one input of at least two pages (every page, chunks
// of two, a list with a page twice and three times, all but the first),
// each output checked with expect_same_pages.
void check_all_splits(const producers_dir &d, const std::string &input,
                      const output_check &also = nullptr);

#endif
