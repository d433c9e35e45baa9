// Load time of large generated files: rorezide_page_count (read, index,
// trailers, object streams, page tree) next to qpdf --show-npages.
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <string>
#include <vector>

#include "bench.h"
#include "rorezide.h"
#include "support/fixture.h"

namespace {

// A plain PDF of the given pages, each with a content stream of about
// stream_bytes bytes, grouped under pages nodes of 50 kids. Without
// `endobj` no object is closed by the keyword, so every object other than
// a stream reaches to the end of the file.
std::string large_pdf(int pages, int stream_bytes, bool endobj = true)
{
    std::string out = "%PDF-1.4\n";
    std::string xref;
    int nodes = (pages + 49) / 50;
    int first_page = 3 + nodes;
    int font = first_page + 2 * pages;
    int count = font;
    std::vector<long> offs(static_cast<size_t>(count) + 1, 0);
    auto obj = [&](int num, const std::string &body) {
        offs[static_cast<size_t>(num)] = static_cast<long>(out.size());
        out += std::to_string(num) + " 0 obj\n" + body + (endobj ? "\nendobj\n" : "\n");
    };
    obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int n = 0; n < nodes; n++)
        kids += std::to_string(3 + n) + " 0 R ";
    obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
               " /MediaBox [0 0 612 792] /Resources << /Font << /F1 " + std::to_string(font) +
               " 0 R >> >> >>");
    for (int n = 0; n < nodes; n++) {
        std::string k;
        int last = std::min(pages, (n + 1) * 50);
        for (int p = n * 50; p < last; p++)
            k += std::to_string(first_page + p) + " 0 R ";
        obj(3 + n, "<< /Type /Pages /Parent 2 0 R /Kids [" + k + "] /Count " +
                       std::to_string(last - n * 50) + " >>");
    }
    std::string line = "BT /F1 12 Tf 72 700 Td (The quick brown fox jumps over the lazy dog) Tj ET\n";
    for (int p = 0; p < pages; p++) {
        obj(first_page + p, "<< /Type /Page /Parent " + std::to_string(3 + p / 50) +
                                " 0 R /Contents " + std::to_string(first_page + pages + p) + " 0 R >>");
    }
    for (int p = 0; p < pages; p++) {
        std::string data;
        while (static_cast<int>(data.size()) < stream_bytes)
            data += line;
        obj(first_page + pages + p, "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" +
                                        data + "\nendstream");
    }
    obj(font, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    size_t x = out.size();
    out += "xref\n0 " + std::to_string(count + 1) + "\n0000000000 65535 f \n";
    char buf[32];
    for (int i = 1; i <= count; i++) {
        std::snprintf(buf, sizeof buf, "%010ld 00000 n \n", offs[static_cast<size_t>(i)]);
        out += buf;
    }
    out += "trailer\n<< /Size " + std::to_string(count + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(x) + "\n%%EOF\n";
    return out;
}



double time_read(const std::string &path)
{
    double best = 1e9;
    for (int r = 0; r < 5; r++) {
        double t = bench_now();
        FILE *f = std::fopen(path.c_str(), "rb");
        if (!f)
            return -1;
        std::fseek(f, 0, SEEK_END);
        long n = std::ftell(f);
        std::fseek(f, 0, SEEK_SET);
        std::string buf(static_cast<size_t>(n), '\0');
        size_t got = std::fread(&buf[0], 1, buf.size(), f);
        std::fclose(f);
        double d = bench_now() - t;
        if (got != buf.size())
            return -1;
        best = d < best ? d : best;
    }
    return best;
}

void report(const char *name, const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::printf("  %-22s (not generated)\n", name);
        return;
    }
    std::fseek(f, 0, SEEK_END);
    double mb = static_cast<double>(std::ftell(f)) / 1e6;
    std::fclose(f);
    int pages = 0;
    double t = bench_count_time(path, 5, &pages);
    double rd = time_read(path);
    std::printf("  %-22s %7.1f MB %6d pages  load %8.1f ms  (%5.1fx reading it)", name, mb, pages,
                t * 1e3, rd > 0 ? t / rd : 0.0);
    if (bench_have_tool("qpdf")) {
        double best = 1e9;
        for (int r = 0; r < 3; r++) {
            // Exit status 3: qpdf succeeded with warnings.
            double q = bench_time_command("{ qpdf --show-npages '" + path + "'; [ $? -ne 2 ]; }");
            best = q >= 0 && q < best ? q : best;
        }
        std::printf("  qpdf %8.1f ms  ratio %5.2f", best * 1e3, best / t);
    }
    std::printf("\n");
}

}  // namespace

void bench_load()
{
    std::printf("load: page count of generated files (best of 5; ratio = qpdf time / ours)\n");
    std::string open100 = bench_dir() + "/no-endobj-100.pdf";
    write_file(open100, large_pdf(100, 20000, false));
    report("100 pages, no endobj", open100);
    std::string open2000 = bench_dir() + "/no-endobj-2000.pdf";
    write_file(open2000, large_pdf(2000, 20000, false));
    report("2000 pages, no endobj", open2000);
    std::string plain = bench_dir() + "/large-plain.pdf";
    write_file(plain, large_pdf(5000, 8000));
    report("5000 pages, plain", plain);
    if (bench_have_tool("qpdf")) {
        std::string objstm = bench_dir() + "/large-objstm.pdf";
        std::string cmd = "qpdf --object-streams=generate --compress-streams=y '" + plain + "' '" +
                          objstm + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0)
            report("5000 pages, objstm", objstm);
    }
}
