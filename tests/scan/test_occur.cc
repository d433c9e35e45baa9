#include <gtest/gtest.h>

#include <string>

#include "scan/occur.h"
#include "scan/scan.h"

namespace {

const unsigned char *u(const std::string &s)
{
    return reinterpret_cast<const unsigned char *>(s.data());
}

int32_t len(const std::string &s)
{
    return static_cast<int32_t>(s.size());
}

// Occurrences of "startxref" and /Root among near misses (touching name
// characters, no slash, a doubled slash, a name running on), in an order
// chosen by a fixed generator, then a long tail holding neither word.
std::string mixed_buffer(int32_t *tail_from)
{
    const char *pieces[] = {"startxref", "xstartxref", "startxref1", "startxref-", " startxref\n",
                            "/Root",     "/Rootx",     "/Root/Root", "Root",        "//Root ",
                            "/Root.",    "/Ro",        "(/Root)",    "startxre",    "<<",
                            " 12 0 R",   "\n",         "/RootRoot",  "_startxref",  "%"};
    std::string b;
    uint32_t r = 12345;
    for (int i = 0; i < 400; i++) {
        r = r * 1103515245u + 12345u;
        b += pieces[(r >> 16) % (sizeof pieces / sizeof pieces[0])];
    }
    *tail_from = len(b);
    b += std::string(16384, '.');
    return b;
}

// A record released when it leaves scope.
struct owned_search {
    occ_search s;
    ~owned_search() { occ_free(&s); }
};

// Searches from the empty tail until the allowance is spent and the list
// is built; false when it never is.
bool build_list(occ_search *s, int32_t tail_from)
{
    for (int i = 0; i < 100000 && !s->built; i++) {
        if (s->is_name)
            occ_find_name(s, tail_from, s->size);
        else
            occ_find_kw(s, tail_from);
    }
    return s->built != 0;
}

// Every start position (and some outside the buffer), each answered by a
// fresh record (direct search) and by one whose list is built.
void expect_kw_answers(const std::string &b, int32_t tail_from, const char *kw)
{
    owned_search listed;
    occ_init_kw(&listed.s, u(b), len(b), kw);
    ASSERT_TRUE(build_list(&listed.s, tail_from));
    for (int32_t start = -2; start <= len(b) + 2; start++) {
        int32_t want = find_kw(u(b), len(b), start, kw);
        owned_search fresh;
        occ_init_kw(&fresh.s, u(b), len(b), kw);
        ASSERT_EQ(occ_find_kw(&fresh.s, start), want) << start;
        ASSERT_EQ(occ_find_kw(&listed.s, start), want) << start;
    }
}

// Starts over the mixed part with every limit up to 24 bytes further (so
// every cut through a name), and the buffer's end and beyond as limits.
void expect_name_answers(const std::string &b, int32_t tail_from, const char *name)
{
    owned_search listed;
    occ_init_name(&listed.s, u(b), len(b), name);
    ASSERT_TRUE(build_list(&listed.s, tail_from));
    for (int32_t start = -1; start <= tail_from + 1; start++) {
        for (int32_t end = start - 1; end <= len(b) + 1; end++) {
            if (end == start + 24)
                end = len(b) - 1;
            int32_t want = find_name(u(b), len(b), start, end, name);
            owned_search fresh;
            occ_init_name(&fresh.s, u(b), len(b), name);
            ASSERT_EQ(occ_find_name(&fresh.s, start, end), want) << start << " " << end;
            ASSERT_EQ(occ_find_name(&listed.s, start, end), want) << start << " " << end;
        }
    }
}

}  // namespace

TEST(OccurrenceSearch, AnswersAsTheDirectSearchesDo)
{
    int32_t tail_from = 0;
    std::string b = mixed_buffer(&tail_from);
    expect_kw_answers(b, tail_from, "startxref");
    expect_name_answers(b, tail_from, "Root");

    // A limit right after "/Root" cuts the token "/Rootx" there: found,
    // though the list (made to the buffer's end) does not hold it.
    std::string c = "/Rootx" + std::string(8192, ' ');
    owned_search s;
    occ_init_name(&s.s, u(c), len(c), "Root");
    ASSERT_TRUE(build_list(&s.s, 6));
    EXPECT_EQ(occ_find_name(&s.s, 0, 5), 0);
    EXPECT_EQ(occ_find_name(&s.s, 0, 6), -1);
}

TEST(OccurrenceSearch, RepeatedFarSearchesCostAFewPasses)
{
    // Near misses everywhere, each word once at the very end; every search
    // runs almost to the end of the buffer.
    std::string b;
    while (b.size() < 128 * 1024)
        b += "startxre /Roo Root startxrefs /Rooted\n";
    b += "/Root startxref";
    int64_t size = len(b);
    // Direct scans up to the allowance of twice the buffer plus 1 MiB, the
    // scan that spends it, and the one listing pass.
    int64_t bound = 4 * size + (1 << 20);

    owned_search kw, name;
    occ_init_kw(&kw.s, u(b), len(b), "startxref");
    occ_init_name(&name.s, u(b), len(b), "Root");
    for (int32_t start = 0; start < len(b) - 20; start += 64) {
        ASSERT_EQ(occ_find_kw(&kw.s, start), len(b) - 9);
        ASSERT_EQ(occ_find_name(&name.s, start, len(b)), len(b) - 15);
    }
    EXPECT_LE(kw.s.examined, bound);
    EXPECT_LE(name.s.examined, bound);
    EXPECT_GE(kw.s.examined, 2 * size);  // the allowance was spent
    EXPECT_GE(name.s.examined, 2 * size);
}
