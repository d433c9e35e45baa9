#include "scan/occur.h"

#include <cstdlib>
#include <cstring>

#include "base/grow.h"
#include "scan/scan.h"

namespace {

constexpr int64_t OCC_ALLOWANCE_SLACK = 1 << 20;

// First listed position at or after from, or -1.
int32_t occ_next(const occ_search *s, int32_t from)
{
    int32_t lo = 0, hi = s->count;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (s->pos[mid] < from)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < s->count ? s->pos[lo] : -1;
}

int32_t occ_direct(const occ_search *s, int32_t start, int32_t end)
{
    return s->is_name ? find_name(s->buf, s->size, start, end, s->word)
                      : find_kw(s->buf, s->size, start, s->word);
}

// One pass over the buffer listing every occurrence; the list's limit is the
// end of the buffer. Stays unbuilt (direct searches go on) without memory.
void occ_build(occ_search *s)
{
    int32_t cap = 0;
    s->examined += s->size;
    for (int32_t p = occ_direct(s, 0, s->size); p >= 0; p = occ_direct(s, p + 1, s->size)) {
        if (!array_grow(&s->pos, s->count, &cap, 256)) {
            occ_free(s);
            return;
        }
        s->pos[s->count++] = p;
    }
    s->built = 1;
}

// Direct search, counting what it scanned; builds the list once the
// allowance is spent.
int32_t occ_scan(occ_search *s, int32_t start, int32_t end)
{
    int32_t hit = occ_direct(s, start, end);
    if (start < 0)
        return hit;
    int32_t stop = hit >= 0 ? hit : (end < s->size ? end : s->size);
    int64_t scanned = stop > start ? stop - start : 0;
    s->examined += scanned;
    if (s->allowance >= 0) {
        s->allowance -= scanned;
        if (s->allowance < 0)
            occ_build(s);
    }
    return hit;
}

void occ_init(occ_search *s, const unsigned char *buf, int32_t size, const char *word, int is_name)
{
    std::memset(s, 0, sizeof *s);
    s->buf = buf;
    s->size = size;
    s->word = word;
    s->is_name = is_name;
    s->allowance = 2 * static_cast<int64_t>(size) + OCC_ALLOWANCE_SLACK;
}

}  // namespace

void occ_init_kw(occ_search *s, const unsigned char *buf, int32_t size, const char *kw)
{
    occ_init(s, buf, size, kw, 0);
}

void occ_init_name(occ_search *s, const unsigned char *buf, int32_t size, const char *name)
{
    occ_init(s, buf, size, name, 1);
}

void occ_free(occ_search *s)
{
    std::free(s->pos);
    s->pos = nullptr;
    s->count = 0;
    s->built = 0;
}

int32_t occ_find_kw(occ_search *s, int32_t start)
{
    if (!s->built)
        return occ_scan(s, start, s->size);
    if (start < 0 || s->word[0] == '\0')
        return -1;
    return occ_next(s, start);
}

int32_t occ_find_name(occ_search *s, int32_t start, int32_t end)
{
    if (!s->built)
        return occ_scan(s, start, end);
    int32_t limit = end < s->size ? end : s->size;
    int32_t n = static_cast<int32_t>(std::strlen(s->word));
    if (start < 0 || static_cast<int64_t>(start) + n + 1 > limit)
        return -1;
    int32_t last = limit - n - 1;  // last slash position that fits below the limit
    int32_t hit = occ_next(s, start);
    if (hit > last)
        hit = -1;
    // A token cut by a limit below the buffer's end ends there even when a
    // name character follows it; the list, made with the buffer's end as
    // limit, does not hold that one position.
    if (hit < 0 && limit < s->size) {
        s->examined += limit - last;
        if (find_name(s->buf, limit, last, limit, s->word) == last)
            hit = last;
    }
    return hit;
}
