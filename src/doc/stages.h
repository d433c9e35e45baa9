// The stages of doc_load, in the order it runs them. The index-building
// stages never fail: what they cannot read they skip, and the final checks
// and the page-tree stage report what is then missing.
#ifndef ROREZIDE_DOC_STAGES_H
#define ROREZIDE_DOC_STAGES_H

#include "doc/doc.h"

// Sets root_num, info_num and encrypted from the trailers and
// cross-reference streams, and where the /Encrypt and /ID of the one that
// gave /Root stand.
void trailer_read_chain(pdf_doc *doc);

// Appends one plain entry for each "N G obj" header of the file image.
void index_scan_objects(pdf_doc *doc);

// Sets data_off and data_end of every stream entry.
void index_stream_extents(pdf_doc *doc);

// Sets endobj_off of every entry.
void index_object_ends(pdf_doc *doc);

// Opens an encrypted document whose user password is empty (security.cc):
// sets crypt.opened and the file key. Needs the object ends.
void security_open(pdf_doc *doc);

// Decompresses every /ObjStm stream into objstm_bufs, after decrypting it
// in an opened encrypted document, and appends one compressed entry per
// object it holds.
void objstm_expand_all(pdf_doc *doc);

// Keeps one definition per object number, sets max_num and builds by_num.
void index_resolve_duplicates(pdf_doc *doc);

// Chooses the catalog and flattens the page tree into doc->pages. 0 on
// success; -1 with one message naming path.
int pages_load_tree(pdf_doc *doc, const char *path);

#endif
