// Occurrence lists: every position where one keyword or /name token stands
// in a whole buffer, found in one pass and kept sorted. Loader stages that
// would otherwise repeat the same forward search from many start positions
// (one "endobj" search per object, one "startxref" search per trailer) ask
// the list instead; the answers are exactly those of find_kw and find_name,
// but a file with a hundred thousand objects no longer costs a hundred
// thousand passes over its tail.
#ifndef ROREZIDE_SCAN_OCCUR_H
#define ROREZIDE_SCAN_OCCUR_H

#include <cstdint>

struct occ_list {
    int32_t *pos;
    int32_t count;
    int32_t cap;
    int32_t built;  // 0: not built (or out of memory): searches scan directly
};

// Lists every delimited occurrence of kw in buf[0, size), as find_kw finds
// them. Leaves the list unbuilt when memory runs out.
void occ_build_kw(occ_list *list, const unsigned char *buf, int32_t size, const char *kw);

// Lists every /name token in buf[0, size), as find_name finds them with the
// end of the buffer as limit.
void occ_build_name(occ_list *list, const unsigned char *buf, int32_t size, const char *name);

void occ_free(occ_list *list);

// find_kw(buf, size, start, kw), answered from the list when it is built.
int32_t occ_find_kw(const occ_list *list, const unsigned char *buf, int32_t size,
                    int32_t start, const char *kw);

// find_name(buf, size, start, end, name), answered from the list when built.
int32_t occ_find_name(const occ_list *list, const unsigned char *buf, int32_t size,
                      int32_t start, int32_t end, const char *name);

#endif
