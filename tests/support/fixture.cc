#include "support/fixture.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

void write_file(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool file_exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int run_command(const std::string &cmd, std::string *out)
{
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool have_tool(const char *name)
{
    return run_command(std::string("command -v ") + name + " >/dev/null 2>&1") == 0;
}
