#include "support/pdf_check.h"

#include <algorithm>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/fixture.h"

namespace {

const char HEADER[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";

bool all_digits(const std::string &s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

namespace {

// Reads "first count\n" at *p; false when the line is not that.
bool read_subsection_head(const std::string &pdf, size_t *p, int *first, int *count)
{
    size_t sp = pdf.find(' ', *p);
    size_t eol = pdf.find('\n', *p);
    if (sp == std::string::npos || eol == std::string::npos || sp > eol)
        return false;
    std::string a = pdf.substr(*p, sp - *p), b = pdf.substr(sp + 1, eol - sp - 1);
    if (!all_digits(a) || !all_digits(b))
        return false;
    *first = std::atoi(a.c_str());
    *count = std::atoi(b.c_str());
    *p = eol + 1;
    return true;
}

}  // namespace

std::string check_layout(const std::string &pdf)
{
    if (pdf.compare(0, 15, HEADER) != 0)
        return "header";
    size_t sx = pdf.rfind("startxref\n");
    if (sx == std::string::npos)
        return "no startxref";
    size_t nl = pdf.find('\n', sx + 10);
    std::string xs = pdf.substr(sx + 10, nl - sx - 10);
    if (!all_digits(xs))
        return "startxref value";
    size_t x = std::strtoul(xs.c_str(), nullptr, 10);
    if (x >= pdf.size() || pdf.compare(x, 7, "xref\n0 ") != 0)
        return "startxref does not point at xref";
    size_t p = x + 5;
    std::vector<int> in_use, listed_free;
    std::map<int, int> gens;
    int next = 0;  // lowest number the next subsection may start at
    while (pdf.compare(p, 8, "trailer\n") != 0) {
        int first = 0, count = 0;
        if (!read_subsection_head(pdf, &p, &first, &count) || count < 1 || first < next)
            return "xref subsection at " + std::to_string(p);
        if (p + 20 * static_cast<size_t>(count) > pdf.size())
            return "xref table cut short";
        for (int i = first; i < first + count; i++, p += 20) {
            std::string e = pdf.substr(p, 20);
            if (i == 0 && e != "0000000000 65535 f \n")
                return "free head";
            if (e == "0000000000 65535 f \n") {
                listed_free.push_back(i);
                continue;
            }
            if (e.size() != 20 || e[10] != ' ' || e.compare(16, 4, " n \n") != 0 ||
                !all_digits(e.substr(0, 10)) || !all_digits(e.substr(11, 5)))
                return "entry " + std::to_string(i) + " malformed";
            size_t off = std::strtoul(e.substr(0, 10).c_str(), nullptr, 10);
            int gen = std::atoi(e.substr(11, 5).c_str());
            std::string head = std::to_string(i) + " " + std::to_string(gen) + " obj\n";
            if (off >= pdf.size() || pdf.compare(off, head.size(), head) != 0 ||
                (off > 0 && pdf[off - 1] != '\n'))
                return "entry " + std::to_string(i) + " does not point at its header";
            in_use.push_back(i);
            gens[i] = gen;
        }
        next = first + count + 1;  // runs are maximal: a gap lies between them
    }
    if (in_use.size() < 2)
        return "catalog or pages node missing";
    int size = std::max(in_use.back(), listed_free.back()) + 1;
    size_t root_at = pdf.find("/Root ", p);
    int root = root_at == std::string::npos ? -1 : std::atoi(pdf.c_str() + root_at + 6);
    // The document information, when carried, names an object written.
    std::string info;
    size_t info_at = pdf.find(" /Info ", p);
    if (info_at != std::string::npos) {
        int num = std::atoi(pdf.c_str() + info_at + 7);
        info = " /Info " + std::to_string(num) + " " + std::to_string(gens[num]) + " R";
        if (std::count(in_use.begin(), in_use.end(), num) == 0)
            return "information dictionary missing";
    }
    std::string head = "trailer\n<< /Size " + std::to_string(size) + " /Root " +
                       std::to_string(root) + " 0 R" + info;
    std::string tail = " >>\nstartxref\n" + xs + "\n%%EOF\n";
    if (pdf.compare(p, head.size(), head) != 0 || pdf.size() < p + head.size() + tail.size() ||
        pdf.compare(pdf.size() - tail.size(), tail.size(), tail) != 0)
        return "trailer";
    // What an encrypted input's output adds: its /Encrypt and /ID.
    size_t extra = pdf.size() - tail.size() - p - head.size();
    if (extra > 0 && pdf.compare(p + head.size(), 10, " /Encrypt ") != 0)
        return "trailer";
    if (std::count(in_use.begin(), in_use.end(), root) == 0 ||
        std::count(in_use.begin(), in_use.end(), root + 1) == 0)
        return "catalog or pages node missing";
    return "";
}

namespace {

// The object number of a header line "N G obj" starting at p, or -1.
int header_num_at(const std::string &pdf, size_t p)
{
    size_t sp = pdf.find(' ', p);
    if (sp == std::string::npos || sp == p || !all_digits(pdf.substr(p, sp - p)))
        return -1;
    size_t sp2 = pdf.find(' ', sp + 1);
    if (sp2 == std::string::npos || sp2 == sp + 1 || !all_digits(pdf.substr(sp + 1, sp2 - sp - 1)) ||
        pdf.compare(sp2, 5, " obj\n") != 0)
        return -1;
    return std::atoi(pdf.substr(p, sp - p).c_str());
}

}  // namespace

std::vector<int> object_order(const std::string &pdf)
{
    std::vector<int> nums;
    for (size_t p = 0; p < pdf.size(); p = pdf.find('\n', p) + 1) {
        int n = header_num_at(pdf, p);
        if (n >= 0)
            nums.push_back(n);
        if (pdf.find('\n', p) == std::string::npos)
            break;
    }
    return nums;
}

std::string object_text(const std::string &pdf, int num)
{
    std::string head = "\n" + std::to_string(num) + " ";
    for (size_t p = pdf.find(head); p != std::string::npos; p = pdf.find(head, p + 1)) {
        if (header_num_at(pdf, p + 1) != num)
            continue;
        size_t e = pdf.find("endobj\n", p);
        if (e == std::string::npos)
            return "";
        return pdf.substr(p + 1, e + 7 - p - 1);
    }
    return "";
}

namespace {

// Where the cross-reference table says object num starts, or npos.
size_t xref_offset(const std::string &pdf, int num)
{
    size_t sx = pdf.rfind("startxref\n");
    if (sx == std::string::npos)
        return std::string::npos;
    size_t p = std::strtoul(pdf.c_str() + sx + 10, nullptr, 10) + 5;
    int first = 0, count = 0;
    while (p < pdf.size() && pdf.compare(p, 8, "trailer\n") != 0 &&
           read_subsection_head(pdf, &p, &first, &count)) {
        if (num >= first && num < first + count) {
            size_t entry = p + 20 * static_cast<size_t>(num - first);
            return entry < pdf.size() ? std::strtoul(pdf.c_str() + entry, nullptr, 10)
                                      : std::string::npos;
        }
        p += 20 * static_cast<size_t>(count);
    }
    return std::string::npos;
}

}  // namespace

std::vector<int> new_kids(const std::string &pdf)
{
    // The new pages node is the object after the trailer's /Root; copies of
    // repeated pages follow it, and their bytes may say anything.
    std::vector<int> kids;
    size_t root_at = pdf.rfind("/Root ");
    if (root_at == std::string::npos)
        return kids;
    size_t at = xref_offset(pdf, std::atoi(pdf.c_str() + root_at + 6) + 1);
    if (at == std::string::npos)
        return kids;
    std::string node = pdf.substr(at, pdf.find("endobj\n", at) - at);
    size_t k = node.find("/Kids [");
    if (k == std::string::npos)
        return kids;
    size_t p = k + 7;
    while (p < node.size() && node[p] != ']') {
        size_t q = node.find(" R", p);
        if (q == std::string::npos)
            break;
        kids.push_back(std::atoi(node.substr(p, q - p).c_str()));
        p = q + 2;
        if (node[p] == ' ')
            p++;
    }
    return kids;
}

std::vector<int> page_kids(const std::string &pdf)
{
    std::vector<int> kids = new_kids(pdf);
    size_t root_at = pdf.rfind("/Root ");
    int pages_node = root_at == std::string::npos ? -1 : std::atoi(pdf.c_str() + root_at + 6) + 1;
    auto body = [&](int num) {
        std::string text = object_text(pdf, num);
        return text.substr(text.find('\n') + 1);
    };
    for (size_t i = 0; i < kids.size(); i++) {
        if (kids[i] <= pages_node)
            continue;
        for (size_t j = 0; j < i; j++)
            if (kids[j] <= pages_node && body(kids[j]) == body(kids[i])) {
                kids[i] = kids[j];
                break;
            }
    }
    return kids;
}

std::string render_page(const std::string &pdf_path, int page)
{
    std::string base = pdf_path + ".render" + std::to_string(page);
    std::string cmd = "pdftoppm -r 36 -f " + std::to_string(page) + " -l " +
                      std::to_string(page) + " -singlefile '" + pdf_path + "' '" + base +
                      "' 2>/dev/null";
    if (run_command(cmd) != 0)
        return "";
    std::string img = read_file(base + ".ppm");
    std::remove((base + ".ppm").c_str());
    return img;
}

std::string render_page_gs(const std::string &pdf_path, int page)
{
    std::string image = pdf_path + ".gs" + std::to_string(page) + ".png";
    std::string said;
    std::string cmd = "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pnggray -r36 -dFirstPage=" +
                      std::to_string(page) + " -dLastPage=" + std::to_string(page) +
                      " -sOutputFile='" + image + "' '" + pdf_path + "' 2>&1";
    if (run_command(cmd, &said) != 0 || !said.empty())
        return "";
    std::string img = read_file(image);
    std::remove(image.c_str());
    return img;
}
