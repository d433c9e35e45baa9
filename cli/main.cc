// rorezide: command-line host of the library.
#include <cstdio>
#include <cstring>

#include "rorezide.h"

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "count") == 0) {
        int n = rorezide_page_count(argv[2]);
        if (n < 0) {
            std::fprintf(stderr, "rorezide count: %s\n", rorezide_last_error());
            return 1;
        }
        std::printf("%d\n", n);
        return 0;
    }
    std::fprintf(stderr, "usage: rorezide count FILE\n");
    return 2;
}
