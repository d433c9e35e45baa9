#include "doc/stages.h"

void index_scan_objects(pdf_doc *) {}
void index_stream_extents(pdf_doc *) {}
void index_object_ends(pdf_doc *) {}
void index_resolve_duplicates(pdf_doc *) {}
