// rorezide command line: page lists as people type them.
//
//   3,1,5-7    pages 3, 1, 5, 6, 7, in that order
//   9-7        a range that counts down: 9, 8, 7
//   z          the last page, also as a range end: 2-z, z-1
//   r2         the second page from the end (r1 is the last), also as a
//              range end: r3-z
//   1-z:even   the pages at even positions of the range (2, 4, ...);
//              :odd keeps the first, third, ... (9-5:odd is 9, 7, 5)
//
// Items are separated by commas, without blanks. Numbers are passed on as
// typed, even 0 or pages past the end: the library checks them against the
// document and names the one it refuses. Only `z` and `rN` need the page
// count; when it is known, the command checks every page against it itself.
#ifndef ROREZIDE_CLI_PAGELIST_H
#define ROREZIDE_CLI_PAGELIST_H

#include <string>
#include <vector>

// One end of an item: page `number`, or the number-th page from the end
// (`z` is the first from the end).
struct page_bound {
    int number;
    bool from_end;
};

// Which pages of a range an item keeps, by their position in the range
// (the first page of a range is at position 1, whichever way it counts).
enum page_parity { parity_all, parity_odd, parity_even };

// One item of a list; a single page has from and to equal.
struct page_span {
    page_bound from;
    page_bound to;
    page_parity parity;
};

// The most pages a list may expand to; more fails as a usage error rather
// than building an array the library would refuse anyway.
const int pagelist_max_pages = 16777216;

// Reads an optionally signed decimal that fits an int and fills the whole
// text. Returns true and sets *value, or false.
bool arg_to_int(const std::string &text, int *value);

// Reads one end of a range: digits, `z` or `rN`. Returns true, or false
// with *error saying what is wrong.
bool page_bound_parse(const std::string &text, page_bound *bound, std::string *error);

// The page a bound stands for in a document of page_count pages (any
// value when page_count is unknown and the bound does not count from the
// end).
long long page_bound_value(const page_bound &bound, int page_count);

// Splits LIST into spans. Returns true, or false with *error saying what is
// wrong ("empty item", "'x' is not a page number", ...).
bool pagelist_parse(const std::string &text, std::vector<page_span> *spans,
                    std::string *error);

// True when some span counts from the end, so the page count is needed.
bool pagelist_counts_from_end(const std::vector<page_span> &spans);

// Looks for a range end outside pages 1 to page_count. Returns true and
// sets *page to the first one as typed ("0", "r5"), or false.
bool pagelist_find_outside(const std::vector<page_span> &spans, int page_count,
                           std::string *page);

// The page numbers of the spans in order, counting from the end of a
// document of page_count pages. Returns false with *error when the list
// would exceed pagelist_max_pages.
bool pagelist_expand(const std::vector<page_span> &spans, int page_count,
                     std::vector<int> *pages, std::string *error);

#endif
