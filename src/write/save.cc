// Saving an assembled output file without putting at risk what stood at its
// path. The bytes go to a new hidden file in the target's directory, which
// replaces the target by a rename only once every byte has reached it: a
// full disk, a quota or a size limit then costs the new file, never the old
// one (nor the input, when a caller names the input as the output).
//
// Three kinds of target are written in place instead, as a plain open for
// writing would: one that exists and is not a regular file (a device, a
// FIFO, a terminal), which a rename would replace by a regular file; a
// regular file with more than one hard link, which a rename would cut off
// from its other names; and any target when no file can be created in its
// directory. A symbolic link is kept: the file it leads to is replaced.
//
// On Windows the same steps use the C runtime's and the system's own calls:
// the rename is MoveFileExA with MOVEFILE_REPLACE_EXISTING, both slashes and
// backslashes separate directories, and symbolic links are not followed.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/error.h"
#include "write/extract.h"

namespace {

// Links followed from the caller's path to the file a rename replaces; the
// system's own limit on link chains is of the same order.
constexpr int LINK_HOPS_MAX = 40;
// Names tried for the temporary file before giving up on the directory.
constexpr int TEMP_TRIES = 64;
// The temporary file's name within its directory: fixed length, so that a
// long target name cannot make it too long.
const char TEMP_PREFIX[] = ".rorezide-";
const char TEMP_SUFFIX[] = ".tmp";
constexpr int TEMP_RANDOM_LEN = 6;
// Largest single write; larger outputs are written in pieces.
constexpr size_t WRITE_CHUNK = size_t(1) << 30;

char *text_dup(const char *s, size_t n)
{
    char *t = static_cast<char *>(std::malloc(n + 1));
    if (t) {
        std::memcpy(t, s, n);
        t[n] = '\0';
    }
    return t;
}

#ifndef _WIN32
// The target of the symbolic link at path, read whole, or null.
char *link_read(const char *path)
{
    for (size_t cap = 256; cap <= (size_t(1) << 20); cap *= 2) {
        char *t = static_cast<char *>(std::malloc(cap));
        if (!t)
            return nullptr;
        ssize_t n = readlink(path, t, cap);
        if (n >= 0 && static_cast<size_t>(n) < cap) {
            t[n] = '\0';
            return t;
        }
        std::free(t);
        if (n < 0)
            return nullptr;
    }
    return nullptr;
}
#endif

// Path syntax: Windows separates directories with slashes and backslashes,
// and a path may start with a drive ("C:").
#ifdef _WIN32
bool is_dir_separator(char c)
{
    return c == '/' || c == '\\';
}

size_t drive_prefix_len(const char *path)
{
    return path[0] && path[1] == ':' ? 2 : 0;
}
#else
bool is_dir_separator(char c)
{
    return c == '/';
}

size_t drive_prefix_len(const char *)
{
    return 0;
}
#endif

// Length of the directory part of path: up to its last separator, the
// separator itself kept for a root ("/", "C:/"); a drive alone ("C:") when
// no separator follows it. 0 when path has no directory part.
size_t dir_part_len(const char *path)
{
    size_t n = std::strlen(path);
    while (n > 0 && !is_dir_separator(path[n - 1]))
        n--;
    size_t drive = drive_prefix_len(path);
    if (n == 0)
        return drive;
    return n - 1 == drive ? n : n - 1;
}

// The path with every symbolic link at its end followed, as a new string:
// the name a rename must replace so that the links stay links. A path that
// is no link comes back as it is. Null when memory runs out or the chain
// does not end. Windows: the path as it is.
char *link_final_path(const char *path)
{
#ifdef _WIN32
    return text_dup(path, std::strlen(path));
#else
    char *cur = text_dup(path, std::strlen(path));
    for (int hop = 0; cur && hop < LINK_HOPS_MAX; hop++) {
        struct stat st;
        if (lstat(cur, &st) != 0 || !S_ISLNK(st.st_mode))
            return cur;
        char *target = link_read(cur);
        char *next = nullptr;
        if (target && (target[0] == '/' || dir_part_len(cur) == 0)) {
            next = target;
            target = nullptr;
        } else if (target) {
            // A relative target counts from the link's own directory.
            size_t d = dir_part_len(cur);
            size_t t = std::strlen(target);
            next = static_cast<char *>(std::malloc(d + 1 + t + 1));
            if (next) {
                std::memcpy(next, cur, d);
                next[d] = '/';
                std::memcpy(next + d + 1, target, t + 1);
            }
        }
        std::free(target);
        std::free(cur);
        cur = next;
    }
    std::free(cur);
    return nullptr;
#endif
}

// A number that differs between processes and moments.
uint64_t temp_seed()
{
#ifdef _WIN32
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    return static_cast<uint64_t>(ticks.QuadPart) ^
           (static_cast<uint64_t>(GetCurrentProcessId()) << 12);
#else
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(ts.tv_sec) << 30) ^
           (static_cast<uint64_t>(getpid()) << 12);
#endif
}

// Six characters for a temporary name, different for every try, process
// and moment.
void temp_fill_random(char *out, int attempt)
{
    static const char ALPHABET[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    uint64_t v = temp_seed() ^ (static_cast<uint64_t>(attempt) * UINT64_C(0x9E3779B97F4A7C15));
    for (int k = 0; k < TEMP_RANDOM_LEN; k++) {
        v = v * UINT64_C(6364136223846793005) + UINT64_C(1442695040888963407);
        out[k] = ALPHABET[(v >> 33) % (sizeof ALPHABET - 1)];
    }
}

// Creates the new file path for writing, failing when it exists; the
// descriptor, or -1. The open applies the process's file-creation mask as a
// plain open for writing would. On Windows the file is binary (no line-end
// translation) and not inherited by child processes.
int temp_open(const char *path)
{
#ifdef _WIN32
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
#else
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

// Creates a new, empty temporary file in the directory of target. Returns
// the descriptor and sets *temp_path (owned), or -1.
int temp_create(const char *target, char **temp_path)
{
    size_t d = dir_part_len(target);
    size_t name_len = sizeof TEMP_PREFIX - 1 + TEMP_RANDOM_LEN + sizeof TEMP_SUFFIX - 1;
    char *path = static_cast<char *>(std::malloc(d + 1 + name_len + 1));
    if (!path)
        return -1;
    size_t at = 0;
    if (d > 0) {
        std::memcpy(path, target, d);
        at = d;
        if (!is_dir_separator(path[d - 1]) && path[d - 1] != ':')
            path[at++] = '/';
    }
    std::memcpy(path + at, TEMP_PREFIX, sizeof TEMP_PREFIX - 1);
    char *random = path + at + sizeof TEMP_PREFIX - 1;
    std::memcpy(random + TEMP_RANDOM_LEN, TEMP_SUFFIX, sizeof TEMP_SUFFIX);
    for (int attempt = 0; attempt < TEMP_TRIES; attempt++) {
        temp_fill_random(random, attempt);
        int fd = temp_open(path);
        if (fd >= 0) {
            *temp_path = path;
            return fd;
        }
        if (errno != EEXIST)
            break;
    }
    std::free(path);
    return -1;
}

// Writes all n bytes to fd; false on any failure.
bool fd_write_all(int fd, const unsigned char *data, uint64_t n)
{
    while (n > 0) {
        size_t piece = n < WRITE_CHUNK ? static_cast<size_t>(n) : WRITE_CHUNK;
        ssize_t w = write(fd, data, piece);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<uint64_t>(w);
    }
    return true;
}

// The plain way: open the path for writing (truncating what is there),
// write, close. A short write, or a flush on close that fails, is a write
// error.
int save_in_place(const unsigned char *data, uint64_t len, const char *path)
{
    FILE *f = std::fopen(path, "wb");
    if (!f) {
        set_error("Cannot open output file '%s' for writing", path);
        return 0;
    }
    size_t n = static_cast<size_t>(len);
    if (std::fwrite(data, 1, n, f) != n) {
        set_error("Write error while saving to '%s'", path);
        std::fclose(f);
        return 0;
    }
    if (std::fclose(f) != 0) {
        set_error("Write error while saving to '%s'", path);
        return 0;
    }
    return 1;
}

// Gives the new file the permission bits of the target it replaces. Windows
// keeps none but the read-only attribute, and a read-only target has been
// refused before: the new file has what any file created in its directory
// has.
bool mode_copy(int fd, const struct stat *existing)
{
#ifdef _WIN32
    (void)fd;
    (void)existing;
    return true;
#else
    return fchmod(fd, existing->st_mode & 07777) == 0;
#endif
}

// Renames temp over target, replacing it when it exists.
bool file_replace(const char *temp, const char *target)
{
#ifdef _WIN32
    return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return rename(temp, target) == 0;
#endif
}

// Whether the target must be written in place: it exists and is no regular
// file (a device, a FIFO; a directory, which then fails to open) or has more
// than one name. On Windows the C runtime's stat knows neither devices (NUL,
// CON) nor names beyond the first, so the system is asked.
bool write_in_place(const char *path, const struct stat *st, bool exists)
{
    if (exists && !S_ISREG(st->st_mode))
        return true;
#ifdef _WIN32
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool in_place = GetFileType(h) != FILE_TYPE_DISK ||
                    (GetFileInformationByHandle(h, &info) && info.nNumberOfLinks > 1);
    CloseHandle(h);
    return in_place;
#else
    (void)path;
    return exists && st->st_nlink > 1;
#endif
}

// Fills the temporary file and renames it over final_path. On any failure
// the temporary file is removed and the target stays as it was.
int save_by_rename(const unsigned char *data, uint64_t len, int fd, const char *temp,
                   const char *final_path, const struct stat *existing, const char *path)
{
    bool ok = true;
    // An existing target keeps its permission bits; a new one has those
    // the creation mask gave.
    if (existing)
        ok = mode_copy(fd, existing);
    ok = ok && fd_write_all(fd, data, len);
    ok = close(fd) == 0 && ok;
    ok = ok && file_replace(temp, final_path);
    if (!ok) {
        unlink(temp);
        set_error("Write error while saving to '%s'", path);
        return 0;
    }
    return 1;
}

}  // namespace

int save_output(const unsigned char *data, uint64_t len, const char *path)
{
    struct stat st;
    bool exists = stat(path, &st) == 0;
    if (write_in_place(path, &st, exists))
        return save_in_place(data, len, path);
    // A target that could not be opened for writing is refused as such,
    // although its directory would allow replacing it.
    if (exists && access(path, W_OK) != 0) {
        set_error("Cannot open output file '%s' for writing", path);
        return 0;
    }
    char *final_path = link_final_path(path);
    if (!final_path)
        return save_in_place(data, len, path);
    char *temp = nullptr;
    int fd = temp_create(final_path, &temp);
    int result;
    if (fd < 0)
        result = save_in_place(data, len, path);
    else
        result = save_by_rename(data, len, fd, temp, final_path, exists ? &st : nullptr, path);
    std::free(temp);
    std::free(final_path);
    return result;
}
