// Repeated searches for one keyword or /name token over a whole buffer.
// Loader stages search for the same word from many start positions (one
// "endobj" search per object, one "startxref" search per trailer). In intact
// files each search ends a few bytes further on; in damaged or hostile ones
// each may run to the end of the file, and thousands of them would cost
// thousands of passes. An occ_search answers every query exactly as
// find_kw or find_name would, scanning directly while that stays cheap and
// switching, once the bytes scanned reach twice the buffer (plus 1 MiB), to a
// sorted list of every occurrence made in one pass.
#ifndef ROREZIDE_SCAN_OCCUR_H
#define ROREZIDE_SCAN_OCCUR_H

#include <cstdint>

struct occ_search {
    const unsigned char *buf;
    int32_t size;
    const char *word;  // keyword, or name without its slash
    int32_t is_name;
    int64_t allowance;  // bytes direct searches may still scan
    int32_t *pos;       // the occurrence list, once built
    int32_t count;
    int32_t built;
    int64_t examined;  // bytes scanned by direct searches and by the listing pass
};

void occ_init_kw(occ_search *s, const unsigned char *buf, int32_t size, const char *kw);
void occ_init_name(occ_search *s, const unsigned char *buf, int32_t size, const char *name);
void occ_free(occ_search *s);

// find_kw(buf, size, start, kw)
int32_t occ_find_kw(occ_search *s, int32_t start);

// find_name(buf, size, start, end, name)
int32_t occ_find_name(occ_search *s, int32_t start, int32_t end);

#endif
