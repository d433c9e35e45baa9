#include "scan/occur.h"

#include <cstdlib>
#include <cstring>

#include "scan/scan.h"

namespace {

bool occ_push(occ_list *list, int32_t p)
{
    if (list->count == list->cap) {
        int32_t cap = list->cap == 0 ? 256 : list->cap * 2;
        if (list->cap > INT32_MAX / 2)
            return false;
        void *grown = std::realloc(list->pos, static_cast<size_t>(cap) * sizeof(int32_t));
        if (!grown)
            return false;
        list->pos = static_cast<int32_t *>(grown);
        list->cap = cap;
    }
    list->pos[list->count++] = p;
    return true;
}

// First listed position at or after from, or -1.
int32_t occ_next(const occ_list *list, int32_t from)
{
    int32_t lo = 0, hi = list->count;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (list->pos[mid] < from)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < list->count ? list->pos[lo] : -1;
}

void occ_abandon(occ_list *list)
{
    occ_free(list);
}

}  // namespace

void occ_build_kw(occ_list *list, const unsigned char *buf, int32_t size, const char *kw)
{
    std::memset(list, 0, sizeof *list);
    for (int32_t p = find_kw(buf, size, 0, kw); p >= 0; p = find_kw(buf, size, p + 1, kw)) {
        if (!occ_push(list, p)) {
            occ_abandon(list);
            return;
        }
    }
    list->built = 1;
}

void occ_build_name(occ_list *list, const unsigned char *buf, int32_t size, const char *name)
{
    std::memset(list, 0, sizeof *list);
    for (int32_t p = find_name(buf, size, 0, size, name); p >= 0;
         p = find_name(buf, size, p + 1, size, name)) {
        if (!occ_push(list, p)) {
            occ_abandon(list);
            return;
        }
    }
    list->built = 1;
}

void occ_free(occ_list *list)
{
    std::free(list->pos);
    std::memset(list, 0, sizeof *list);
}

int32_t occ_find_kw(const occ_list *list, const unsigned char *buf, int32_t size,
                    int32_t start, const char *kw)
{
    if (!list->built)
        return find_kw(buf, size, start, kw);
    if (start < 0 || kw[0] == '\0')
        return -1;
    return occ_next(list, start);
}

int32_t occ_find_name(const occ_list *list, const unsigned char *buf, int32_t size,
                      int32_t start, int32_t end, const char *name)
{
    if (!list->built)
        return find_name(buf, size, start, end, name);
    int32_t limit = end < size ? end : size;
    int32_t n = static_cast<int32_t>(std::strlen(name));
    if (start < 0 || static_cast<int64_t>(start) + n + 1 > limit)
        return -1;
    int32_t last = limit - n - 1;  // last slash position that fits below the limit
    int32_t hit = occ_next(list, start);
    if (hit > last)
        hit = -1;
    // A token cut by a limit below the buffer's end ends there even when a
    // name character follows it; the list, made with the buffer's end as
    // limit, does not hold that one position.
    if (hit < 0 && limit < size && find_name(buf, limit, last, limit, name) == last)
        hit = last;
    return hit;
}
