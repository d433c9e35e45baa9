// The library's boundary: the calls that need no output file.
#include "rorezide.h"

#include "base/error.h"
#include "doc/doc.h"

extern "C" {

int rorezide_init(void)
{
    clear_error();
    return 1;
}

void rorezide_cleanup(void)
{
    clear_error();
}

const char *rorezide_last_error(void)
{
    return g_err;
}

int rorezide_page_count(const char *input_path)
{
    clear_error();
    pdf_doc doc;
    int result = doc_load(input_path, &doc) < 0 ? -1 : doc.pages.count;
    doc_free(&doc);
    return result;
}

}  // extern "C"
