// The five operations that write new PDF files from chosen pages.
#include "rorezide.h"

#include "api/error.h"

extern "C" {

int rorezide_all(const char *, const char *)
{
    clear_error();
    set_error("Not implemented");
    return 0;
}

int rorezide_range(const char *, int, int, const char *)
{
    clear_error();
    set_error("Not implemented");
    return 0;
}

int rorezide_pages(const char *, const int *, int, const char *)
{
    clear_error();
    set_error("Not implemented");
    return 0;
}

int rorezide_every_n(const char *, int, const char *)
{
    clear_error();
    set_error("Not implemented");
    return 0;
}

int rorezide_remove(const char *, const int *, int, const char *)
{
    clear_error();
    set_error("Not implemented");
    return 0;
}

}  // extern "C"
