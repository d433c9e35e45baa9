#include <gtest/gtest.h>

#include <cstdlib>

#include "base/grow.h"

namespace {

TEST(ArrayGrow, DoublesFromTheFirstCapacityKeepingTheItems)
{
    int32_t *items = nullptr;
    int32_t count = 0;
    int32_t cap = 0;
    for (int32_t v = 0; v < 100; v++) {
        ASSERT_TRUE(array_grow(&items, count, &cap, 8));
        items[count++] = v;
        EXPECT_EQ(cap, v < 8 ? 8 : v < 16 ? 16 : v < 32 ? 32 : v < 64 ? 64 : 128);
    }
    for (int32_t v = 0; v < 100; v++)
        EXPECT_EQ(items[v], v);
    std::free(items);
}

TEST(ArrayGrow, RefusesPastTheLimitLeavingTheArrayWhole)
{
    // A full array just past the limit: refused before any allocation, so
    // a small block can stand for it.
    int32_t *items = static_cast<int32_t *>(std::malloc(4 * sizeof(int32_t)));
    ASSERT_NE(items, nullptr);
    for (int32_t v = 0; v < 4; v++)
        items[v] = 10 + v;
    int32_t *before = items;
    int32_t cap = ARRAY_GROW_LIMIT + 1;
    EXPECT_FALSE(array_grow(&items, cap, &cap, 8));
    EXPECT_EQ(items, before);
    EXPECT_EQ(cap, ARRAY_GROW_LIMIT + 1);
    for (int32_t v = 0; v < 4; v++)
        EXPECT_EQ(items[v], 10 + v);
    // Room left below the capacity needs no growth, however large it is.
    EXPECT_TRUE(array_grow(&items, 3, &cap, 8));
    EXPECT_EQ(items, before);
    std::free(items);
}

}  // namespace
