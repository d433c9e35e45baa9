#include "base/grow.h"

#include <cstdlib>

bool array_grow_bytes(void **items, int32_t count, int32_t *cap, size_t item_size,
                      int32_t first_cap)
{
    if (count < *cap)
        return true;
    if (*cap > ARRAY_GROW_LIMIT)
        return false;
    int32_t grown_cap = *cap == 0 ? first_cap : *cap * 2;
    if (grown_cap <= *cap || static_cast<size_t>(grown_cap) > SIZE_MAX / item_size)
        return false;
    void *grown = std::realloc(*items, static_cast<size_t>(grown_cap) * item_size);
    if (!grown)
        return false;
    *items = grown;
    *cap = grown_cap;
    return true;
}
