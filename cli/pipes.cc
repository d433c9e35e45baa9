#include "pipes.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// The temporary files of this run. A signal handler removes them, so they
// are kept in plain fixed storage that it may read at any moment: a path is
// complete before the count includes it. A command needs two at most (one
// for standard input, one for standard output).
constexpr int TEMP_FILES_MAX = 4;
constexpr size_t TEMP_PATH_MAX = 4096;
char temp_paths[TEMP_FILES_MAX][TEMP_PATH_MAX];
volatile std::sig_atomic_t temp_count = 0;

constexpr size_t COPY_CHUNK = 1 << 16;

// "what (reason)", the reason being the system's text for errno value err.
std::string with_reason(const std::string &what, int err)
{
    return what + " (" + std::strerror(err) + ")";
}

void temp_record(const std::string &path)
{
    std::memcpy(temp_paths[temp_count], path.c_str(), path.size() + 1);
    temp_count = temp_count + 1;
}

#ifdef _WIN32

// Console interruptions end the process from another thread on Windows;
// the files are left to the system's temporary-file cleanup then.
void interruptions_catch() {}

std::string temp_create_in_system_dir(std::string *error)
{
    char dir[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n > sizeof dir) {
        *error = "no temporary directory";
        return "";
    }
    char path[MAX_PATH + 1];
    if (GetTempFileNameA(dir, "rzd", 0, path) == 0) {
        *error = std::string("cannot create a temporary file in ") + dir;
        return "";
    }
    return path;
}

void binary_mode(FILE *f)
{
    _setmode(_fileno(f), _O_BINARY);
}

#else

void interrupted(int sig)
{
    for (int i = 0; i < temp_count; i++)
        unlink(temp_paths[i]);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Installed once, with the first temporary file. Writing to a closed pipe
// then fails with EPIPE, reported like any write error, instead of ending
// the command before it removes its files.
void interruptions_catch()
{
    if (temp_count > 0)
        return;
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, interrupted);
    std::signal(SIGPIPE, SIG_IGN);
}

std::string temp_create_in_system_dir(std::string *error)
{
    const char *dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : "/tmp") + "/rorezide-XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    int fd = mkstemp(buf.data());
    if (fd < 0) {
        *error = with_reason("cannot create a temporary file like " + name, errno);
        return "";
    }
    close(fd);
    return buf.data();
}

void binary_mode(FILE *) {}

#endif

// Copies everything from in to out; false when reading or writing fails,
// with errno from the failing call.
bool stream_copy(FILE *in, FILE *out, bool *read_failed)
{
    std::vector<char> buf(COPY_CHUNK);
    for (;;) {
        size_t n = std::fread(buf.data(), 1, buf.size(), in);
        if (n > 0 && std::fwrite(buf.data(), 1, n, out) != n) {
            *read_failed = false;
            return false;
        }
        if (n < buf.size()) {
            *read_failed = std::ferror(in) != 0;
            return !*read_failed;
        }
    }
}

}  // namespace

std::string temp_file_create(std::string *error)
{
    if (temp_count >= TEMP_FILES_MAX) {
        *error = "too many temporary files";
        return "";
    }
    interruptions_catch();
    std::string path = temp_create_in_system_dir(error);
    if (path.empty())
        return "";
    if (path.size() >= TEMP_PATH_MAX) {
        std::remove(path.c_str());
        *error = "temporary directory path too long: " + path;
        return "";
    }
    temp_record(path);
    return path;
}

void temp_files_remove()
{
    for (int i = 0; i < temp_count; i++)
        std::remove(temp_paths[i]);
}

bool stdin_to_file(const std::string &path, std::string *error)
{
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) {
        *error = with_reason("cannot open " + path, errno);
        return false;
    }
    binary_mode(stdin);
    bool read_failed = false;
    bool copied = stream_copy(stdin, out, &read_failed);
    int err = errno;
    if (std::fclose(out) != 0 && copied) {
        copied = false;
        err = errno;
    }
    if (!copied)
        *error = with_reason(read_failed ? "cannot read standard input" : "cannot write " + path,
                             err);
    return copied;
}

bool file_to_stdout(const std::string &path, std::string *error)
{
    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in) {
        *error = with_reason("cannot open " + path, errno);
        return false;
    }
    binary_mode(stdout);
    bool read_failed = false;
    bool copied = stream_copy(in, stdout, &read_failed) && std::fflush(stdout) == 0;
    int err = errno;
    std::fclose(in);
    if (!copied)
        *error = with_reason(read_failed ? "cannot read " + path
                                         : std::string("cannot write to standard output"),
                             err);
    return copied;
}
