/* A plain C host of the library: the header must compile as strict C99 and
 * the nine functions must link from the shared library. */
#include <stdio.h>
#include <string.h>

#include "rorezide.h"

static int fail(const char *what)
{
    fprintf(stderr, "c_consumer: %s\n", what);
    return 1;
}

int main(void)
{
    const int pages[1] = {1};
    if (rorezide_init() != 1)
        return fail("init");
    if (strcmp(rorezide_last_error(), "") != 0)
        return fail("message not empty after init");
    if (rorezide_page_count(NULL) != -1)
        return fail("page_count(NULL)");
    if (strcmp(rorezide_last_error(), "NULL input path") != 0)
        return fail(rorezide_last_error());
    if (rorezide_pages("x.pdf", NULL, 0, "y.pdf") != 0)
        return fail("pages with a null list");
    if (rorezide_every_n("x.pdf", 0, "out") != 0)
        return fail("every_n with n = 0");
    if (rorezide_all(NULL, NULL) != 0 || rorezide_range(NULL, 1, 1, NULL) != 0 ||
        rorezide_remove(NULL, pages, 1, NULL) != 0)
        return fail("split calls on a null path");
    rorezide_cleanup();
    if (rorezide_last_error()[0] != '\0')
        return fail("message not empty after cleanup");
    return 0;
}
