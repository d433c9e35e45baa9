#include "pagelist.h"

#include <climits>

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of the digits from start to the end of text. An overlong
// number stops accumulating once it passes every int magnitude, so it is
// caught by the callers' range checks instead of wrapping.
bool digits_value(const std::string &text, size_t start, long long *value)
{
    if (start >= text.size())
        return false;
    long long v = 0;
    for (size_t i = start; i < text.size(); i++) {
        if (!is_digit(text[i]))
            return false;
        if (v <= static_cast<long long>(INT_MAX) + 1)
            v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

// A bound as the user may have typed it.
std::string bound_text(const page_bound &b)
{
    if (!b.from_end)
        return std::to_string(b.number);
    return b.number == 1 ? "z" : "r" + std::to_string(b.number);
}

// ":odd" or ":even" at the end of an item; the item without it in *body.
bool parity_parse(const std::string &item, std::string *body, page_parity *parity,
                  std::string *error)
{
    size_t colon = item.find(':');
    *body = item.substr(0, colon);
    *parity = parity_all;
    if (colon == std::string::npos)
        return true;
    std::string suffix = item.substr(colon + 1);
    if (suffix == "odd" || suffix == "even") {
        *parity = suffix == "odd" ? parity_odd : parity_even;
        return true;
    }
    *error = "'" + item + "' ends in '" + item.substr(colon) + "', not ':odd' or ':even'";
    return false;
}

bool span_parse(const std::string &item, page_span *span, std::string *error)
{
    if (item.empty()) {
        *error = "empty item";
        return false;
    }
    std::string body;
    if (!parity_parse(item, &body, &span->parity, error))
        return false;
    size_t dash = body.find('-');
    if (dash == std::string::npos) {
        if (span->parity != parity_all) {
            *error = "':odd' and ':even' follow a range, not the single page '" + body + "'";
            return false;
        }
        if (!page_bound_parse(body, &span->from, error))
            return false;
        span->to = span->from;
        return true;
    }
    if (body.find('-', dash + 1) != std::string::npos) {
        *error = "'" + body + "' has more than one '-'";
        return false;
    }
    return page_bound_parse(body.substr(0, dash), &span->from, error) &&
           page_bound_parse(body.substr(dash + 1), &span->to, error);
}

// The number of pages a span expands to.
long long span_size(long long from, long long to, page_parity parity)
{
    long long n = (from <= to ? to - from : from - to) + 1;
    if (parity == parity_all)
        return n;
    return parity == parity_odd ? (n + 1) / 2 : n / 2;
}

}  // namespace

bool arg_to_int(const std::string &text, int *value)
{
    bool negative = !text.empty() && text[0] == '-';
    size_t start = (negative || (!text.empty() && text[0] == '+')) ? 1 : 0;
    long long v = 0;
    if (!digits_value(text, start, &v))
        return false;
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return false;
    *value = static_cast<int>(v);
    return true;
}

bool page_bound_parse(const std::string &text, page_bound *bound, std::string *error)
{
    if (text.empty()) {
        *error = "a range needs a page on both sides of '-'";
        return false;
    }
    if (text == "z") {
        *bound = {1, true};
        return true;
    }
    bool from_end = text[0] == 'r';
    long long v = 0;
    if (!digits_value(text, from_end ? 1 : 0, &v)) {
        *error = "'" + text + "' is not a page number";
        return false;
    }
    if (v > INT_MAX) {
        *error = "page number '" + text + "' is too large";
        return false;
    }
    *bound = {static_cast<int>(v), from_end};
    return true;
}

long long page_bound_value(const page_bound &bound, int page_count)
{
    return bound.from_end ? static_cast<long long>(page_count) + 1 - bound.number : bound.number;
}

bool pagelist_parse(const std::string &text, std::vector<page_span> *spans,
                    std::string *error)
{
    spans->clear();
    if (text.empty()) {
        *error = "empty page list";
        return false;
    }
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos
                                                                         : comma - start);
        page_span span;
        if (!span_parse(item, &span, error))
            return false;
        spans->push_back(span);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

bool pagelist_counts_from_end(const std::vector<page_span> &spans)
{
    for (const page_span &s : spans)
        if (s.from.from_end || s.to.from_end)
            return true;
    return false;
}

bool pagelist_find_outside(const std::vector<page_span> &spans, int page_count,
                           std::string *page)
{
    for (const page_span &s : spans) {
        for (const page_bound &b : {s.from, s.to}) {
            long long v = page_bound_value(b, page_count);
            if (v < 1 || v > page_count) {
                *page = bound_text(b);
                return true;
            }
        }
    }
    return false;
}

bool pagelist_expand(const std::vector<page_span> &spans, int page_count,
                     std::vector<int> *pages, std::string *error)
{
    pages->clear();
    long long total = 0;
    for (const page_span &s : spans) {
        total += span_size(page_bound_value(s.from, page_count), page_bound_value(s.to, page_count),
                           s.parity);
        if (total > pagelist_max_pages) {
            *error = "the list holds more than " + std::to_string(pagelist_max_pages) + " pages";
            return false;
        }
    }
    pages->reserve(static_cast<size_t>(total));
    for (const page_span &s : spans) {
        long long from = page_bound_value(s.from, page_count);
        long long to = page_bound_value(s.to, page_count);
        long long step = from <= to ? 1 : -1;
        long long stride = s.parity == parity_all ? step : 2 * step;
        long long p = s.parity == parity_even ? from + step : from;
        for (long long n = span_size(from, to, s.parity); n > 0; n--, p += stride)
            pages->push_back(static_cast<int>(p));
    }
    return true;
}
