/* A Windows host that links nothing of the library: it loads rorezide.dll by
 * name, the way a program that ships the DLL beside itself does, finds the
 * nine functions under their undecorated names with GetProcAddress and calls
 * them through pointers of the C calling convention.
 *
 *     c_loader SAMPLE.pdf    (the twelve-page sample) */
#include <windows.h>

#include <stdio.h>
#include <string.h>

typedef int(__cdecl *int_fn)(void);
typedef const char *(__cdecl *text_fn)(void);
typedef int(__cdecl *path_fn)(const char *);
typedef int(__cdecl *range_fn)(const char *, int, int, const char *);
typedef int(__cdecl *list_fn)(const char *, const int *, int, const char *);

static const char *const names[9] = {
    "rorezide_init",  "rorezide_cleanup", "rorezide_last_error",
    "rorezide_page_count", "rorezide_all", "rorezide_range",
    "rorezide_pages", "rorezide_every_n", "rorezide_remove",
};

static int fail(const char *what)
{
    fprintf(stderr, "c_loader: %s\n", what);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc != 2)
        return fail("usage: c_loader SAMPLE.pdf");
    HMODULE dll = LoadLibraryA("rorezide.dll");
    if (!dll)
        return fail("LoadLibrary(rorezide.dll) failed");
    FARPROC fns[9];
    for (int i = 0; i < 9; i++) {
        fns[i] = GetProcAddress(dll, names[i]);
        if (!fns[i])
            return fail(names[i]);
    }
    int_fn init = (int_fn)(void (*)(void))fns[0];
    text_fn last_error = (text_fn)(void (*)(void))fns[2];
    path_fn page_count = (path_fn)(void (*)(void))fns[3];
    range_fn range = (range_fn)(void (*)(void))fns[5];
    list_fn pages = (list_fn)(void (*)(void))fns[6];

    if (init() != 1 || strcmp(last_error(), "") != 0)
        return fail("init");
    if (page_count(argv[1]) != 12)
        return fail(last_error());
    if (range(argv[1], 3, 2, "never.pdf") != 0 ||
        strcmp(last_error(), "Invalid page range 3 to 2 (document has 12 pages)") != 0)
        return fail("range 3 to 2 was not refused as expected");
    /* A null output path is refused after the input loaded: the arguments
     * arrive in their places. */
    const int list[2] = {12, 1};
    if (pages(argv[1], list, 2, NULL) != 0 ||
        strcmp(last_error(), "NULL or empty output path") != 0)
        return fail("pages with a null output path");
    FreeLibrary(dll);
    printf("c_loader: nine functions found, the sample has 12 pages\n");
    return 0;
}
