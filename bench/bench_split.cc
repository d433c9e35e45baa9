// Split section: one range, every page, and chunks of ten from a generated
// 1,000-page document, each next to the same job done by qpdf when it is
// installed.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "rorezide.h"

namespace {

constexpr int BENCH_PAGES = 1000;
constexpr int BENCH_RUNS = 3;

// An uncompressed document: catalog, one pages node, and per page a page
// object, a content stream of some text and drawing, and a shared font.
std::string bench_pdf(int pages)
{
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets(static_cast<size_t>(2 * pages + 4), 0);
    int font = 2 * pages + 3;
    auto begin = [&](int num) {
        offsets[static_cast<size_t>(num)] = out.size();
        out += std::to_string(num) + " 0 obj\n";
    };
    begin(1);
    out += "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    begin(2);
    out += "<< /Type /Pages /MediaBox [0 0 595.28 841.89] /Count " + std::to_string(pages) +
           " /Kids [";
    for (int i = 0; i < pages; i++)
        out += std::to_string(3 + 2 * i) + " 0 R ";
    out += "] >>\nendobj\n";
    for (int i = 0; i < pages; i++) {
        int page = 3 + 2 * i;
        begin(page);
        out += "<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(page + 1) +
               " 0 R /Resources << /Font << /F1 " + std::to_string(font) +
               " 0 R >> >> >>\nendobj\n";
        std::string content =
            "BT /F1 24 Tf 72 760 Td (Page " + std::to_string(i + 1) + ") Tj ET\n";
        for (int line = 0; line < 12; line++)
            content += "BT /F1 10 Tf 72 " + std::to_string(700 - 14 * line) + " Td (Line " +
                       std::to_string(line) + " of a generated page for timing) Tj ET\n";
        content += "0.5 w 72 100 m 523 " + std::to_string(100 + i % 500) + " l S\n";
        begin(page + 1);
        out += "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
               "\nendstream\nendobj\n";
    }
    begin(font);
    out += "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\nendobj\n";
    size_t xref = out.size();
    out += "xref\n0 " + std::to_string(font + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (int i = 1; i <= font; i++) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets[static_cast<size_t>(i)]);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(font + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

void remove_tree(const std::string &path)
{
    std::system(("rm -rf '" + path + "'").c_str());
}

// Sizes of the files a job wrote: the one file at path, or every file
// directly inside the directory at path.
std::vector<size_t> output_sizes(const std::string &path)
{
    std::vector<size_t> sizes;
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return sizes;
    if (!S_ISDIR(st.st_mode)) {
        sizes.push_back(static_cast<size_t>(st.st_size));
        return sizes;
    }
    DIR *d = opendir(path.c_str());
    if (!d)
        return sizes;
    while (struct dirent *e = readdir(d)) {
        std::string name = path + "/" + e->d_name;
        if (stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            sizes.push_back(static_cast<size_t>(st.st_size));
    }
    closedir(d);
    return sizes;
}

double total(const std::vector<size_t> &sizes)
{
    double sum = 0;
    for (size_t s : sizes)
        sum += static_cast<double>(s);
    return sum;
}

// The floor for a job: creating files of the same sizes from bytes already
// in memory, one write each.
double copy_floor(const std::vector<size_t> &sizes, const std::string &dir)
{
    size_t largest = 0;
    for (size_t s : sizes)
        largest = s > largest ? s : largest;
    std::vector<char> bytes(largest, 'x');
    double best = -1;
    for (int r = 0; r < BENCH_RUNS; r++) {
        remove_tree(dir);
        mkdir(dir.c_str(), 0777);
        double t = bench_now();
        for (size_t k = 0; k < sizes.size(); k++) {
            std::string name = dir + "/" + std::to_string(k);
            FILE *f = std::fopen(name.c_str(), "wb");
            if (!f)
                return -1;
            std::fwrite(bytes.data(), 1, sizes[k], f);
            std::fclose(f);
        }
        double d = bench_now() - t;
        if (best < 0 || d < best)
            best = d;
    }
    remove_tree(dir);
    return best;
}

double cpu_seconds()
{
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec) + u.ru_utime.tv_usec / 1e6;
}

struct timing {
    double wall;  // best wall time, -1 when the job failed
    double user;  // user CPU time of that run
};

// Best wall time of BENCH_RUNS runs of job, the output removed before each.
template <typename Job>
timing best_of(Job job, const std::string &clean_path)
{
    timing best = {-1, 0};
    for (int r = 0; r < BENCH_RUNS; r++) {
        remove_tree(clean_path);
        double c = cpu_seconds();
        double t = bench_now();
        bool ok = job();
        double d = bench_now() - t;
        double u = cpu_seconds() - c;
        if (!ok)
            return {-1, 0};
        if (best.wall < 0 || d < best.wall)
            best = {d, u};
    }
    return best;
}

double best_command(const std::string &cmd, const std::string &clean_path, bool make_dir)
{
    double best = -1;
    for (int r = 0; r < BENCH_RUNS; r++) {
        remove_tree(clean_path);
        if (make_dir)
            mkdir(clean_path.c_str(), 0777);
        double d = bench_time_command(cmd);
        if (d < 0)
            return -1;
        if (best < 0 || d < best)
            best = d;
    }
    return best;
}

// One job: our time, the floor of writing the same files from memory, and
// qpdf doing the same split.
void report(const char *job, timing ours, const std::string &out_path, const std::string &floor_dir,
            double theirs)
{
    if (ours.wall < 0) {
        std::printf("  %s failed: %s\n", job, rorezide_last_error());
        return;
    }
    std::vector<size_t> sizes = output_sizes(out_path);
    double bytes = total(sizes);
    double floor = copy_floor(sizes, floor_dir);
    std::printf("  %s: %zu file(s), %.1f MB written\n", job, sizes.size(), bytes / 1e6);
    std::printf("    rorezide        %9.2f ms  (user CPU %.2f ms, %.0f MB/s)\n", ours.wall * 1e3,
                ours.user * 1e3, ours.wall > 0 ? bytes / 1e6 / ours.wall : 0.0);
    if (floor > 0)
        std::printf("    write floor     %9.2f ms  ratio rorezide/floor %.2f\n", floor * 1e3,
                    ours.wall / floor);
    if (theirs > 0)
        std::printf("    qpdf            %9.2f ms  ratio qpdf/rorezide %.2f\n", theirs * 1e3,
                    theirs / ours.wall);
}

}  // namespace

// Outputs go to memory-backed storage when there is some, so that the
// figures show the splitting rather than the disk (every-page output is
// about a gigabyte).
std::string split_dir()
{
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) {
        char tmpl[] = "/dev/shm/rorezide-bench-split-XXXXXX";
        if (mkdtemp(tmpl))
            return tmpl;
    }
    std::string dir = bench_dir() + "/split";
    mkdir(dir.c_str(), 0777);
    return dir;
}

void bench_split()
{
    std::string dir = split_dir();
    std::string in = dir + "/in.pdf";
    std::string pdf = bench_pdf(BENCH_PAGES);
    FILE *f = std::fopen(in.c_str(), "wb");
    if (!f || std::fwrite(pdf.data(), 1, pdf.size(), f) != pdf.size()) {
        std::printf("split: cannot write the input\n");
        if (f)
            std::fclose(f);
        return;
    }
    std::fclose(f);
    bool qpdf = bench_have_tool("qpdf");
    std::printf("split: %d pages, %.0f KB input, best of %d runs, files in %s%s\n", BENCH_PAGES,
                pdf.size() / 1e3, BENCH_RUNS, dir.c_str(), qpdf ? "" : " (qpdf not installed)");

    std::string floor_dir = dir + "/floor";
    std::string ours_out = dir + "/range.pdf";
    std::string qpdf_out = dir + "/qpdf-range.pdf";
    timing ours = best_of([&] { return rorezide_range(in.c_str(), 2, 3, ours_out.c_str()) == 1; },
                          ours_out);
    double theirs = qpdf ? best_command("qpdf '" + in + "' --pages . 2-3 -- '" + qpdf_out + "'",
                                        qpdf_out, false)
                         : -1;
    report("range 2-3", ours, ours_out, floor_dir, theirs);

    ours_out = dir + "/all";
    qpdf_out = dir + "/qpdf-all";
    ours = best_of([&] { return rorezide_all(in.c_str(), ours_out.c_str()) == 1; }, ours_out);
    theirs = qpdf ? best_command("qpdf --split-pages '" + in + "' '" + qpdf_out + "/%d.pdf'",
                                 qpdf_out, true)
                  : -1;
    report("every page", ours, ours_out, floor_dir, theirs);
    remove_tree(ours_out);
    remove_tree(qpdf_out);

    ours_out = dir + "/chunks";
    qpdf_out = dir + "/qpdf-chunks";
    ours = best_of([&] { return rorezide_every_n(in.c_str(), 10, ours_out.c_str()) == 1; },
                   ours_out);
    theirs = qpdf ? best_command("qpdf --split-pages=10 '" + in + "' '" + qpdf_out + "/%d.pdf'",
                                 qpdf_out, true)
                  : -1;
    report("chunks of 10", ours, ours_out, floor_dir, theirs);
    remove_tree(dir);
}
