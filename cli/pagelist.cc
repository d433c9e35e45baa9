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

// One end of an item: digits or the letter z.
bool bound_parse(const std::string &text, page_bound *bound, std::string *error)
{
    if (text.empty()) {
        *error = "a range needs a page on both sides of '-'";
        return false;
    }
    if (text == "z") {
        *bound = {0, true};
        return true;
    }
    long long v = 0;
    if (!digits_value(text, 0, &v)) {
        *error = "'" + text + "' is not a page number";
        return false;
    }
    if (v > INT_MAX) {
        *error = "page number '" + text + "' is too large";
        return false;
    }
    *bound = {static_cast<int>(v), false};
    return true;
}

bool span_parse(const std::string &item, page_span *span, std::string *error)
{
    if (item.empty()) {
        *error = "empty item";
        return false;
    }
    size_t dash = item.find('-');
    if (dash == std::string::npos) {
        if (!bound_parse(item, &span->from, error))
            return false;
        span->to = span->from;
        return true;
    }
    if (item.find('-', dash + 1) != std::string::npos) {
        *error = "'" + item + "' has more than one '-'";
        return false;
    }
    return bound_parse(item.substr(0, dash), &span->from, error) &&
           bound_parse(item.substr(dash + 1), &span->to, error);
}

int bound_value(const page_bound &b, int last_page)
{
    return b.last_page ? last_page : b.number;
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

bool pagelist_uses_last_page(const std::vector<page_span> &spans)
{
    for (const page_span &s : spans)
        if (s.from.last_page || s.to.last_page)
            return true;
    return false;
}

bool pagelist_expand(const std::vector<page_span> &spans, int last_page,
                     std::vector<int> *pages, std::string *error)
{
    pages->clear();
    long long total = 0;
    for (const page_span &s : spans) {
        long long from = bound_value(s.from, last_page);
        long long to = bound_value(s.to, last_page);
        total += (from <= to ? to - from : from - to) + 1;
        if (total > pagelist_max_pages) {
            *error = "the list holds more than " + std::to_string(pagelist_max_pages) + " pages";
            return false;
        }
    }
    pages->reserve(static_cast<size_t>(total));
    for (const page_span &s : spans) {
        long long from = bound_value(s.from, last_page);
        long long to = bound_value(s.to, last_page);
        long long step = from <= to ? 1 : -1;
        for (long long p = from;; p += step) {
            pages->push_back(static_cast<int>(p));
            if (p == to)
                break;
        }
    }
    return true;
}
