#include "fuzz_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rorezide.h"

namespace {

// Plain storage, not std::string: the cleanup runs from an exit handler,
// after static objects may already be destroyed.
constexpr int MAX_NAMES = 16;
constexpr int NAME_LEN = 64;
char scratch[4096];
char names[MAX_NAMES][NAME_LEN];
int name_count;

void remember(const char *name)
{
    for (int i = 0; i < name_count; i++)
        if (std::strcmp(names[i], name) == 0)
            return;
    if (name_count == MAX_NAMES || std::strlen(name) >= NAME_LEN) {
        std::fprintf(stderr, "fuzz: scratch file name table full or name too long\n");
        std::abort();
    }
    std::strcpy(names[name_count++], name);
}

void remove_scratch()
{
    char path[sizeof scratch + NAME_LEN + 1];
    for (int i = 0; i < name_count; i++) {
        std::snprintf(path, sizeof path, "%s/%s", scratch, names[i]);
        unlink(path);
    }
    rmdir(scratch);
}

}  // namespace

const char *fuzz_scratch_dir()
{
    if (!scratch[0]) {
        const char *base = std::getenv("TMPDIR");
        std::snprintf(scratch, sizeof scratch, "%s/rorezide-fuzz-XXXXXX",
                      base && *base ? base : "/tmp");
        if (!mkdtemp(scratch)) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit(remove_scratch);
    }
    return scratch;
}

std::string fuzz_write_input(const char *name, const uint8_t *data, size_t size)
{
    std::string path = std::string(fuzz_scratch_dir()) + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    remember(name);
    return path;
}

void fuzz_remove(const char *name)
{
    remember(name);
    unlink((std::string(fuzz_scratch_dir()) + "/" + name).c_str());
}

void fuzz_check(bool cond, const char *what)
{
    if (cond)
        return;
    std::fprintf(stderr, "convention broken: %s (message: \"%s\")\n", what, rorezide_last_error());
    std::abort();
}

int fuzz_checked_count(const char *path)
{
    int n = rorezide_page_count(path);
    const char *msg = rorezide_last_error();
    fuzz_check(msg != nullptr, "page count: null message");
    fuzz_check(n == -1 || n >= 1, "page count: result neither -1 nor a count of at least 1");
    if (n == -1)
        fuzz_check(msg[0] != '\0', "page count: -1 without a message");
    else
        fuzz_check(msg[0] == '\0', "page count: success with a message");
    fuzz_check(std::strlen(msg) <= 1023, "page count: message longer than 1023 characters");
    return n;
}

int fuzz_checked_split(int result, const char *call)
{
    const char *msg = rorezide_last_error();
    if (result != 0 && result != 1) {
        std::fprintf(stderr, "%s returned %d\n", call, result);
        std::abort();
    }
    if (result == 1 && msg[0] != '\0') {
        std::fprintf(stderr, "%s succeeded with message \"%s\"\n", call, msg);
        std::abort();
    }
    if (result == 0 && msg[0] == '\0') {
        std::fprintf(stderr, "%s failed without a message\n", call);
        std::abort();
    }
    return result;
}
