#include "doc/stages.h"

void trailer_read_chain(pdf_doc *) {}
