#include "support/fixture.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

pdf_builder &pdf_builder::obj(int num, const std::string &body)
{
    offsets.push_back({num, out.size()});
    out += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    return *this;
}

pdf_builder &pdf_builder::obj(int num, int gen, const std::string &body)
{
    offsets.push_back({num, out.size()});
    gens.push_back({num, gen});
    out += std::to_string(num) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
    return *this;
}

pdf_builder &pdf_builder::stream(int num, const std::string &dict, const std::string &data)
{
    std::string d = dict;
    if (d.find("/Length") == std::string::npos)
        d.insert(2, " /Length " + std::to_string(data.size()));
    offsets.push_back({num, out.size()});
    out += std::to_string(num) + " 0 obj\n" + d + "\nstream\n" + data + "\nendstream\nendobj\n";
    return *this;
}

pdf_builder &pdf_builder::raw(const std::string &bytes)
{
    out += bytes;
    return *this;
}

std::string pdf_builder::finish(const std::string &trailer_entries)
{
    int max = 0;
    for (auto &o : offsets)
        max = o.first > max ? o.first : max;
    std::vector<long> pos(static_cast<size_t>(max) + 1, -1);
    std::vector<int> gen(static_cast<size_t>(max) + 1, 0);
    for (auto &o : offsets)
        pos[static_cast<size_t>(o.first)] = static_cast<long>(o.second);
    for (auto &g : gens)
        gen[static_cast<size_t>(g.first)] = g.second;
    size_t xref = out.size();
    out += "xref\n0 " + std::to_string(max + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (int i = 1; i <= max; i++) {
        if (pos[static_cast<size_t>(i)] < 0)
            std::snprintf(line, sizeof line, "0000000000 65535 f \n");
        else
            std::snprintf(line, sizeof line, "%010ld %05d n \n", pos[static_cast<size_t>(i)],
                          gen[static_cast<size_t>(i)]);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(max + 1) + " " + trailer_entries +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

std::string simple_pdf(int pages)
{
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    int font = pages * 2 + 3;
    for (int i = 0; i < pages; i++)
        kids += std::to_string(3 + i) + " 0 R ";
    b.obj(2, "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(pages) +
                 " /MediaBox [0 0 200 200] >>");
    for (int i = 0; i < pages; i++) {
        int contents = 3 + pages + i;
        b.obj(3 + i, "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(contents) +
                         " 0 R /Resources << /Font << /F1 " + std::to_string(font) +
                         " 0 R >> >> >>");
    }
    for (int i = 0; i < pages; i++) {
        std::string text = "BT /F1 " + std::to_string(40 + (i % 5) * 10) + " Tf 20 " +
                           std::to_string(40 + (i % 7) * 15) + " Td (P" +
                           std::to_string(i + 1) + ") Tj ET";
        b.stream(3 + pages + i, "<< >>", text);
    }
    b.obj(font, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    return b.finish("/Root 1 0 R");
}

// ---- Files -----------------------------------------------------------------

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream f(fs::u8path(path), std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::string &path)
{
    std::ifstream f(fs::u8path(path), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool file_exists(const std::string &path)
{
    std::error_code ec;
    return fs::exists(fs::u8path(path), ec);
}

bool make_dir(const std::string &path)
{
    std::error_code ec;
    return fs::create_directory(fs::u8path(path), ec);
}

void remove_tree(const std::string &path)
{
    std::error_code ec;
    fs::remove_all(fs::u8path(path), ec);
}

bool make_hard_link(const std::string &existing, const std::string &name)
{
    std::error_code ec;
    fs::create_hard_link(fs::u8path(existing), fs::u8path(name), ec);
    return !ec;
}

namespace {

// Everything a command's output stream holds, up to its end.
std::string read_stream(FILE *p)
{
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    return text;
}

}  // namespace

#ifdef _WIN32

// ---- Windows ---------------------------------------------------------------

namespace {

std::wstring widen(const std::string &utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

}  // namespace

// There is no mkdtemp: the name takes the process id (test shards run side
// by side) and a counter, and creating it fails when it is taken.
std::string make_temp_dir()
{
    std::error_code ec;
    std::string base = fs::temp_directory_path(ec).generic_u8string();
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 1000; attempt++) {
        std::string dir = base + "/rorezide-test-" + std::to_string(GetCurrentProcessId()) +
                          "-" + std::to_string(serial++);
        if (make_dir(dir))
            return dir;
    }
    return base;
}

// NTFS allocates the whole size unless the file is marked sparse first; a
// file system that cannot mark it still makes the file.
bool make_sparse_file(const std::string &path, int64_t size, const std::vector<file_piece> &pieces)
{
    std::wstring name = fs::u8path(path).wstring();
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD ignored = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = size;
    bool made = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    for (const file_piece &piece : pieces) {
        DWORD wrote = 0;
        at.QuadPart = piece.first;
        made = made && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
               WriteFile(h, piece.second.data(), static_cast<DWORD>(piece.second.size()), &wrote,
                         nullptr) &&
               wrote == piece.second.size();
    }
    CloseHandle(h);
    if (!made)
        DeleteFileW(name.c_str());
    return made;
}

// _wpopen runs `cmd.exe /c COMMAND`; cmd.exe drops the first and the last
// quote of COMMAND, so the command goes in one more pair of quotes. The
// wide call keeps every character of a UTF-8 command. Text mode turns the
// command's CR LF line ends into LF.
int run_command(const std::string &cmd, std::string *out)
{
    FILE *p = _wpopen(widen("\"" + cmd + "\"").c_str(), L"rt");
    if (!p)
        return -1;
    std::string text = read_stream(p);
    int status = _pclose(p);
    if (out)
        *out = text;
    return status;
}

// Quoted for the C runtime's reading of a command line: backslashes are
// literal unless they precede a quote, so those are doubled, and a quote
// inside gets a backslash.
std::string shell_quote(const std::string &arg)
{
    std::string q = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            slashes++;
        } else {
            if (c == '"')
                q.append(slashes + 1, '\\');
            slashes = 0;
        }
        q += c;
    }
    q.append(slashes, '\\');
    return q + "\"";
}

bool have_tool(const char *name)
{
    char found[MAX_PATH];
    return SearchPathA(nullptr, name, ".exe", MAX_PATH, found, nullptr) > 0;
}

#else

// ---- POSIX -----------------------------------------------------------------

std::string make_temp_dir()
{
    const char *base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/rorezide-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return "/tmp";
    return std::string(buf.data());
}

bool make_sparse_file(const std::string &path, int64_t size, const std::vector<file_piece> &pieces)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool made = ftruncate(fd, size) == 0;
    for (const file_piece &piece : pieces)
        made = made && pwrite(fd, piece.second.data(), piece.second.size(), piece.first) ==
                           static_cast<ssize_t>(piece.second.size());
    close(fd);
    if (!made)
        unlink(path.c_str());
    return made;
}

int run_command(const std::string &cmd, std::string *out)
{
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    std::string text = read_stream(p);
    int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shell_quote(const std::string &arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool have_tool(const char *name)
{
    return run_command(std::string("command -v ") + name + " >/dev/null 2>&1") == 0;
}

#endif
