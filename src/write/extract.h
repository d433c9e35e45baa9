// The extraction writer's working record. Only the writer (extract.cc) and
// the tests that reach inside it use this; the rest of the library writes
// through write.h: doc_extract_pages for one file, a page_series for many.
#ifndef ROREZIDE_WRITE_EXTRACT_H
#define ROREZIDE_WRITE_EXTRACT_H

#include <cstdint>

#include "write/buf.h"
#include "write/write.h"

// Positions in the output are 32-bit: a file whose objects or
// cross-reference table would start at 2 GiB or beyond is refused.
constexpr uint64_t OUTPUT_POS_LIMIT = UINT64_C(0x80000000);

// Lists of the object numbers each index entry references, recorded the
// first time the closure scans the entry, so that later files written
// from the same document replay them instead of scanning again.
struct ref_cache {
    int32_t *first;  // per index entry: start in nums, -1 while not scanned
    int32_t *count;  // per index entry: numbers recorded
    int32_t *nums;
    int32_t used;
    int32_t cap;
    int32_t off;  // 1 once memory ran out: entries are then scanned directly
};

// What the files written from one loaded document share: the working
// tables indexed by object number, the reference lists (a series keeps
// them; a single file scans the objects it copies directly) and the output
// buffer's storage. Every file written through it is the file
// doc_extract_pages writes for the same arguments.
struct extract_ctx {
    const pdf_doc *doc;
    int32_t table_size;     // max_num + 3
    unsigned char *needed;  // 1 once the number is queued
    int32_t *worklist;
    int32_t wcount;
    int32_t *offsets;  // output position of each written object, or -1
    uint16_t *gens;    // generation each written object's header states
    int32_t *chosen;   // per chosen page object: index in doc->pages of the entry
                       // it is written with (the first listed), else -1
    int32_t use_cache;
    ref_cache refs;
    out_buf out;
    uint64_t pos_limit;  // OUTPUT_POS_LIMIT
    catalog_carry carry;
};

void extract_ctx_init(extract_ctx *ctx, const pdf_doc *doc, int use_cache);
// doc_extract_pages through a shared context.
int extract_pages_with(extract_ctx *ctx, const int *pages, int count, const char *path);
void extract_ctx_free(extract_ctx *ctx);

#endif
