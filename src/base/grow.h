// Growable arrays: an items pointer, a count and a capacity kept in some
// record, grown by doubling. Every such array of the library grows here, so
// one limit holds for all of them (ARRAY_GROW_LIMIT), whatever the memory,
// and counts and capacities stay int32_t. Like the error channel, this sits
// below every subsystem and includes nothing of the library.
#ifndef ROREZIDE_BASE_GROW_H
#define ROREZIDE_BASE_GROW_H

#include <cstddef>
#include <cstdint>

// A full array of more places than this is not grown: twice as many would
// not fit int32_t. It is refused before any allocation.
constexpr int32_t ARRAY_GROW_LIMIT = INT32_MAX / 2;

// Room for one more item in the array *items of count items of item_size
// bytes with *cap places. A full array (count == *cap) is reallocated with
// first_cap places when it has none, else with twice its places. True when
// there is room. False when the array cannot grow, past ARRAY_GROW_LIMIT or
// without memory; *items, the items and *cap are then unchanged, and the
// caller still owns them.
bool array_grow_bytes(void **items, int32_t count, int32_t *cap, size_t item_size,
                      int32_t first_cap);

// array_grow_bytes for an array of T.
template <typename T>
bool array_grow(T **items, int32_t count, int32_t *cap, int32_t first_cap)
{
    void *block = *items;
    bool room = array_grow_bytes(&block, count, cap, sizeof(T), first_cap);
    *items = static_cast<T *>(block);
    return room;
}

#endif
