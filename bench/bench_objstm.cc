// Object-stream stage on hostile input: files of n /ObjStm containers whose
// stream data all run to one shared "endstream". Each container's data is
// a valid zlib stream up to that keyword and never ends: it decodes through
// every later container and stops only when the input does. Reading each
// container to the end would cost work quadratic in the file size; the
// figures show how the time to count grows with n.
#include <cstdio>
#include <string>

#include "bench.h"
#include "rorezide.h"
#include "support/fixture.h"
#include "support/hostile_docs.h"

void bench_objstm()
{
    std::printf("objstm: count of files whose object streams all run to one \"endstream\"\n");
    const int counts[] = {250, 1000, 4000};
    double prev = 0;
    int prev_n = 0;
    for (int n : counts) {
        std::string bytes = overlapping_objstm_pdf(n, true);
        std::string path = bench_dir() + "/overlap-" + std::to_string(n) + ".pdf";
        write_file(path, bytes);
        int pages = 0;
        double t = bench_count_time(path, 3, &pages);
        std::printf("  %5d containers %6.2f MB %3d page(s)  count %9.2f ms", n, bytes.size() / 1e6,
                    pages, t * 1e3);
        if (prev > 0)
            std::printf("  x%.1f for x%d containers", t / prev, n / prev_n);
        std::printf("\n");
        prev = t;
        prev_n = n;
    }
}
