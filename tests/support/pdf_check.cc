#include "support/pdf_check.h"

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
    size_t p = x + 7;
    size_t eol = pdf.find('\n', p);
    std::string ss = pdf.substr(p, eol - p);
    if (!all_digits(ss))
        return "xref size";
    int size = std::atoi(ss.c_str());
    p = eol + 1;
    if (p + 20 * static_cast<size_t>(size) > pdf.size())
        return "xref table cut short";
    if (pdf.compare(p, 20, "0000000000 65535 f \n") != 0)
        return "free head";
    for (int i = 1; i < size; i++) {
        std::string e = pdf.substr(p + 20 * static_cast<size_t>(i), 20);
        if (e == "0000000000 65535 f \n")
            continue;
        if (e.size() != 20 || e[10] != ' ' || e.compare(16, 4, " n \n") != 0 ||
            !all_digits(e.substr(0, 10)) || !all_digits(e.substr(11, 5)))
            return "entry " + std::to_string(i) + " malformed";
        size_t off = std::strtoul(e.substr(0, 10).c_str(), nullptr, 10);
        int gen = std::atoi(e.substr(11, 5).c_str());
        std::string head = std::to_string(i) + " " + std::to_string(gen) + " obj\n";
        if (off >= pdf.size() || pdf.compare(off, head.size(), head) != 0 ||
            (off > 0 && pdf[off - 1] != '\n'))
            return "entry " + std::to_string(i) + " does not point at its header";
    }
    p += 20 * static_cast<size_t>(size);
    std::string trailer = "trailer\n<< /Size " + std::to_string(size) + " /Root " +
                          std::to_string(size - 2) + " 0 R >>\nstartxref\n" + xs + "\n%%EOF\n";
    if (pdf.compare(p, std::string::npos, trailer) != 0)
        return "trailer";
    if (pdf.substr(x + 7 + ss.size() + 1 + 20 * static_cast<size_t>(size - 2), 20) ==
            "0000000000 65535 f \n" ||
        pdf.substr(x + 7 + ss.size() + 1 + 20 * static_cast<size_t>(size - 1), 20) ==
            "0000000000 65535 f \n")
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

std::vector<int> new_kids(const std::string &pdf)
{
    std::vector<int> kids;
    size_t x = pdf.rfind("\nxref\n");
    size_t k = pdf.rfind("/Kids [", x);
    if (k == std::string::npos)
        return kids;
    size_t p = k + 7;
    while (p < pdf.size() && pdf[p] != ']') {
        size_t q = pdf.find(" R", p);
        if (q == std::string::npos)
            break;
        kids.push_back(std::atoi(pdf.substr(p, q - p).c_str()));
        p = q + 2;
        if (pdf[p] == ' ')
            p++;
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
