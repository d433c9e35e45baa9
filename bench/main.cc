#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "bench.h"
#include "rorezide.h"

double bench_now()
{
    using clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

double bench_time_command(const std::string &cmd)
{
    double t = bench_now();
    int rc = std::system((cmd + " >/dev/null 2>&1").c_str());
    double d = bench_now() - t;
    return rc == 0 ? d : -1.0;
}

bool bench_have_tool(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

double bench_count_time(const std::string &path, int runs, int *pages)
{
    double best = 1e9;
    for (int r = 0; r < runs && (r == 0 || best < 1.0); r++) {
        double t = bench_now();
        *pages = rorezide_page_count(path.c_str());
        double d = bench_now() - t;
        best = d < best ? d : best;
    }
    return best;
}

const std::string &bench_dir()
{
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/rorezide-bench-XXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    }
    return dir;
}

int main(int argc, char **argv)
{
    // Optional section names select what runs: crypt, inflate, load, objstm,
    // split, burst, burst-encrypted.
    auto wanted = [&](const char *name) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; i++)
            if (std::strcmp(argv[i], name) == 0)
                return true;
        return false;
    };
    if (wanted("crypt"))
        bench_crypt();
    if (wanted("inflate"))
        bench_inflate();
    if (wanted("load"))
        bench_load();
    if (wanted("objstm"))
        bench_objstm();
    if (wanted("split"))
        bench_split();
    if (wanted("burst"))
        bench_burst();
    if (wanted("burst-encrypted"))
        bench_burst_encrypted();
    if (!std::getenv("ROREZIDE_BENCH_KEEP"))
        std::system(("rm -rf '" + bench_dir() + "'").c_str());
    return 0;
}
