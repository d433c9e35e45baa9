// rorezide command line: page lists as people type them.
//
//   3,1,5-7    pages 3, 1, 5, 6, 7, in that order
//   9-7        a range that counts down: 9, 8, 7
//   z          the last page, also as a range end: 2-z, z-1
//
// Items are separated by commas, without blanks. Numbers are passed on as
// typed, even 0 or pages past the end: the library checks them against the
// document and names the one it refuses. Only `z` needs the page count.
#ifndef ROREZIDE_CLI_PAGELIST_H
#define ROREZIDE_CLI_PAGELIST_H

#include <string>
#include <vector>

// One end of an item: a page number, or the last page (`z`).
struct page_bound {
    int number;
    bool last_page;
};

// One item of a list; a single page has from and to equal.
struct page_span {
    page_bound from;
    page_bound to;
};

// The most pages a list may expand to; more fails as a usage error rather
// than building an array the library would refuse anyway.
const int pagelist_max_pages = 16777216;

// Reads an optionally signed decimal that fits an int and fills the whole
// text. Returns true and sets *value, or false.
bool arg_to_int(const std::string &text, int *value);

// Splits LIST into spans. Returns true, or false with *error saying what is
// wrong ("empty item", "'x' is not a page number", ...).
bool pagelist_parse(const std::string &text, std::vector<page_span> *spans,
                    std::string *error);

// True when some span names the last page, so the page count is needed.
bool pagelist_uses_last_page(const std::vector<page_span> &spans);

// The page numbers of the spans in order, `z` read as last_page. Returns
// false with *error when the list would exceed pagelist_max_pages.
bool pagelist_expand(const std::vector<page_span> &spans, int last_page,
                     std::vector<int> *pages, std::string *error);

#endif
