#include "reason.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const char input_head[] = "Cannot open input file '";
const char input_tail[] = "'";
const char output_head[] = "Cannot open output file '";
const char output_tail[] = "' for writing";

bool is_dir_separator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// The path between head and tail when the message is exactly that.
bool message_path(const std::string &message, const char *head, const char *tail,
                  std::string *path)
{
    size_t h = std::strlen(head), t = std::strlen(tail);
    if (message.size() < h + t || message.compare(0, h, head) != 0 ||
        message.compare(message.size() - t, t, tail) != 0)
        return false;
    *path = message.substr(h, message.size() - h - t);
    return true;
}

// The directory an output would be created in.
std::string parent_dir(const std::string &path)
{
    size_t n = path.size();
    while (n > 0 && !is_dir_separator(path[n - 1]))
        n--;
    if (n == 0)
        return ".";
    return n == 1 ? path.substr(0, 1) : path.substr(0, n - 1);
}

// The library refuses anything but a regular file before opening it, so a
// directory gets the reason a plain open of one would have.
int input_errno(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return 0;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return errno;
    std::fclose(f);
    return 0;
}

// Why a file could not be created in dir, as far as the directory tells.
int dir_errno(const std::string &dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    return access(dir.c_str(), W_OK) != 0 ? errno : 0;
}

int output_errno(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? dir_errno(parent_dir(path)) : errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    return access(path.c_str(), W_OK) != 0 ? errno : 0;
}

}  // namespace

std::string open_failure_reason(const std::string &message)
{
    std::string path;
    int err = 0;
    if (message_path(message, input_head, input_tail, &path))
        err = input_errno(path);
    else if (message_path(message, output_head, output_tail, &path))
        err = output_errno(path);
    return err != 0 ? std::strerror(err) : "";
}
