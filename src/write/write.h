// Output writing: new PDF 1.4 files holding chosen pages of a loaded
// document. Objects keep their input numbers and bytes; only each chosen
// page's dictionary is rewritten, and a new catalog and pages node follow
// the input's highest object number. This is what the operations see: one
// file, or a series of files from one document; the writer's own parts are
// in write/extract.h.
#ifndef ROREZIDE_WRITE_WRITE_H
#define ROREZIDE_WRITE_WRITE_H

struct pdf_doc;

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

#endif
