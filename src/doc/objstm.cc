#include "doc/stages.h"

void objstm_expand_all(pdf_doc *) {}
