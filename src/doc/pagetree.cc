#include "api/error.h"
#include "doc/stages.h"

int pages_load_tree(pdf_doc *, const char *path)
{
    set_error("Could not resolve page tree or document has 0 pages in '%s'", path);
    return -1;
}
