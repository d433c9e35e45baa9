// Output writing: new PDF 1.4 files holding chosen pages of a loaded
// document. Objects keep their input numbers and bytes; only each chosen
// page's dictionary is rewritten, and a new catalog and pages node follow
// the input's highest object number.
#ifndef ROREZIDE_WRITE_WRITE_H
#define ROREZIDE_WRITE_WRITE_H

#include <cstdint>

#include "write/buf.h"

struct pdf_doc;
struct page_entry;

// Writes the page dictionary text[start, end) (from its "<<" through its
// ">>") anew: every top-level entry but /Parent copied unchanged, then
// /Parent naming parent_num, then the inherited media box, crop box,
// rotation and resources the dictionary does not state itself (inherited
// indirect resources named with resources_gen). Returns the result of the
// last append.
unsigned char *rebuild_page_dict(out_buf *buf, const unsigned char *text, int32_t start,
                                 int32_t end, int32_t parent_num, const page_entry &page,
                                 int32_t resources_gen = 0);

// What an output's new catalog carries over from the input's catalog: the
// values of /AcroForm and /OCProperties, byte for byte, when they are a
// reference, a dictionary or an array. A null value is absent.
enum { CARRY_ACROFORM, CARRY_OCPROPERTIES, CARRY_COUNT };
struct catalog_carry {
    const unsigned char *value[CARRY_COUNT];
    int32_t len[CARRY_COUNT];
};

// The key each carried value stands under, "/AcroForm" and "/OCProperties".
extern const char *const CARRY_KEYS[CARRY_COUNT];

// Finds the carried values in the catalog the load chose (none when the
// page tree hangs directly from the trailer's root node).
void catalog_carry_find(const pdf_doc *doc, catalog_carry *carry);

// Queues every object number N in 1..max_num referenced as "N G R" in
// text[0, length) whose needed byte is 0: sets the byte and appends N to
// worklist[*count]. Strings, hex strings and comments hide what they hold.
void scan_refs(const unsigned char *text, int32_t length, int32_t max_num,
               unsigned char *needed, int32_t *worklist, int32_t *count);

// Writes the pages listed (1-based, in /Kids order, repeats allowed) to a
// new file at path, with every object they reach. 1 when the file is
// written; 0 with one message set.
int doc_extract_pages(const pdf_doc *doc, const int *pages, int count, const char *path);

// A series of output files written from one loaded document, which must
// outlive it. What every file needs again is kept from one file to the
// next: the working tables indexed by object number, the references found
// in each object copied, and the output buffer's storage. Each file is the
// one doc_extract_pages writes for the same arguments.
struct page_series;

// A new series over doc; null, with "Out of memory" set, when it cannot be
// had.
page_series *series_begin(const pdf_doc *doc);

// doc_extract_pages for the next file of the series: 1 when the file is
// written; 0 with one message set.
int series_write(page_series *series, const int *pages, int count, const char *path);

// Releases the series and everything it keeps. Harmless on null.
void series_end(page_series *series);

// Writes the len bytes of an assembled file to path so that a failure
// leaves whatever stood at path unchanged (see save.cc for the targets
// written in place). 1 on success; 0 with one message set.
int save_output(const unsigned char *data, uint64_t len, const char *path);

#endif
