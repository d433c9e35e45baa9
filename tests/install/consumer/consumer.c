/* A C host built against an installed rorezide: counts the pages of a PDF,
 * writes pages 2 to 4 of it to a new file and counts that file's pages. */
#include <stdio.h>

#include <rorezide.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: consumer IN.pdf OUT.pdf\n");
        return 2;
    }
    int pages = rorezide_page_count(argv[1]);
    if (pages < 4) {
        fprintf(stderr, "consumer: %d pages: %s\n", pages, rorezide_last_error());
        return 1;
    }
    if (!rorezide_range(argv[1], 2, 4, argv[2])) {
        fprintf(stderr, "consumer: %s\n", rorezide_last_error());
        return 1;
    }
    printf("consumer: %d pages in, %d pages out\n", pages, rorezide_page_count(argv[2]));
    return 0;
}
