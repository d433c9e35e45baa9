// Burst section: every page of a generated 5,000-page, 40 MB document to
// its own file, next to qpdf --split-pages on the same file. Each output
// holds its own page and what it uses, so the work and the bytes written
// grow with the input once, not with pages times its size.
//
// Encrypted burst section: the same document encrypted by qpdf (AES-256
// and RC4, with and without object streams), each burst timed against the
// burst of the same file unencrypted.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef ROREZIDE_HAVE_ZLIB
#include <zlib.h>
#endif

#include "bench.h"
#include "rorezide.h"
#include "support/fixture.h"
#include "support/fixture_docs.h"

namespace {

constexpr int BURST_PAGES = 5000;
constexpr int BURST_NODES = 50;  // pages nodes under the root, 100 pages each
constexpr int BURST_FONTS = 4;
constexpr int BURST_IMAGES = 8;
constexpr int BURST_IMAGE_SIDE = 80;  // 80 x 80 RGB: 19,200 bytes each, as good as incompressible

// Object numbers: 1 catalog, 2 root, 3.. pages nodes, then fonts, images,
// and per page its page object and content stream.
struct burst_layout {
    int node(int k) const { return 3 + k; }
    int font(int k) const { return 3 + BURST_NODES + k; }
    int image(int k) const { return font(BURST_FONTS) + k; }
    int page(int i) const { return image(BURST_IMAGES) + 2 * i; }
    int content(int i) const { return page(i) + 1; }
    int size() const { return page(BURST_PAGES); }
};

// A page's content: its number in large type, the shared image, and
// about 18 kB of drawing with scattered coordinates, so that every content
// stream is its own and compresses about as real ones do.
std::string burst_content(int i)
{
    std::string c = "q 100 0 0 100 400 650 cm /Im Do Q\nBT /F1 18 Tf 72 760 Td (Page " +
                    std::to_string(i + 1) + ") Tj ET\n";
    uint32_t seed = 2654435761u * static_cast<uint32_t>(i + 1);
    auto coord = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return std::to_string((seed >> 8) % 60000 / 100.0).substr(0, 6);
    };
    while (c.size() < 18000)
        c += coord() + " " + coord() + " m " + coord() + " " + coord() + " l S\n";
    return c;
}

// Stream data compressed with zlib when the benchmark has it, else in
// stored blocks: either way a /FlateDecode stream that qpdf keeps as it is.
std::string burst_deflate(const std::string &data)
{
#ifdef ROREZIDE_HAVE_ZLIB
    uLongf len = compressBound(static_cast<uLong>(data.size()));
    std::string out(len, '\0');
    if (compress2(reinterpret_cast<Bytef *>(&out[0]), &len,
                  reinterpret_cast<const Bytef *>(data.data()), static_cast<uLong>(data.size()),
                  6) == Z_OK) {
        out.resize(len);
        return out;
    }
#endif
    return zlib_stored_stream(data);
}

void burst_stream(pdf_builder &b, int num, const std::string &dict, const std::string &data)
{
    b.stream(num, "<< " + dict + " /Filter /FlateDecode >>", burst_deflate(data));
}

std::string burst_pdf()
{
    burst_layout l;
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int k = 0; k < BURST_NODES; k++)
        kids += std::to_string(l.node(k)) + " 0 R ";
    b.obj(2, "<< /Type /Pages /MediaBox [0 0 595 842] /Count " + std::to_string(BURST_PAGES) +
                 " /Kids [" + kids + "] >>");
    int per_node = BURST_PAGES / BURST_NODES;
    for (int k = 0; k < BURST_NODES; k++) {
        kids.clear();
        for (int i = k * per_node; i < (k + 1) * per_node; i++)
            kids += std::to_string(l.page(i)) + " 0 R ";
        b.obj(l.node(k), "<< /Type /Pages /Parent 2 0 R /Count " + std::to_string(per_node) +
                             " /Kids [" + kids + "] >>");
    }
    const char *faces[BURST_FONTS] = {"Helvetica", "Times-Roman", "Courier", "Helvetica-Bold"};
    for (int k = 0; k < BURST_FONTS; k++)
        b.obj(l.font(k), std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + faces[k] +
                             " >>");
    int image_len = BURST_IMAGE_SIDE * BURST_IMAGE_SIDE * 3;
    for (int k = 0; k < BURST_IMAGES; k++) {
        std::string pixels;
        uint32_t seed = static_cast<uint32_t>(k + 1);
        for (int p = 0; p < image_len; p++) {
            seed = seed * 1664525u + 1013904223u;
            pixels += static_cast<char>(seed >> 24);
        }
        burst_stream(b, l.image(k),
                     "/Type /XObject /Subtype /Image /Width " + std::to_string(BURST_IMAGE_SIDE) +
                         " /Height " + std::to_string(BURST_IMAGE_SIDE) +
                         " /ColorSpace /DeviceRGB /BitsPerComponent 8",
                     pixels);
    }
    for (int i = 0; i < BURST_PAGES; i++) {
        b.obj(l.page(i), "<< /Type /Page /Parent " + std::to_string(l.node(i / per_node)) +
                             " 0 R /Contents " + std::to_string(l.content(i)) +
                             " 0 R /Resources << /Font << /F1 " +
                             std::to_string(l.font(i % BURST_FONTS)) + " 0 R /F2 " +
                             std::to_string(l.font((i + 1) % BURST_FONTS)) +
                             " 0 R >> /XObject << /Im " +
                             std::to_string(l.image(i % BURST_IMAGES)) + " 0 R >> >> >>");
        burst_stream(b, l.content(i), "", burst_content(i));
    }
    return b.finish("/Root 1 0 R");
}

// Bytes in the regular files directly inside dir, and their count.
double dir_bytes(const std::string &dir, int *files)
{
    double sum = 0;
    *files = 0;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return 0;
    while (struct dirent *e = readdir(d)) {
        struct stat st;
        std::string name = dir + "/" + e->d_name;
        if (stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            sum += static_cast<double>(st.st_size);
            ++*files;
        }
    }
    closedir(d);
    return sum;
}

struct child_run {
    double wall;     // seconds, -1 when the burst failed
    long peak_kb;    // the child's peak resident memory
};

// The burst in a child process, so that its peak memory is its own: the
// generated input held by this process does not count.
child_run burst_in_child(const std::string &in, const std::string &out)
{
    std::fflush(nullptr);
    double t = bench_now();
    pid_t pid = fork();
    if (pid == 0)
        _exit(rorezide_all(in.c_str(), out.c_str()) == 1 ? 0 : 1);
    int status = 0;
    struct rusage use {};
    if (pid < 0 || wait4(pid, &status, 0, &use) != pid)
        return {-1, 0};
    double wall = bench_now() - t;
    bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {ok ? wall : -1, use.ru_maxrss};
}

void remove_dir(const std::string &dir)
{
    std::system(("rm -rf '" + dir + "'").c_str());
}

// Writes the generated document to dir/burst-in.pdf; false when it cannot.
bool write_burst_input(const std::string &in, size_t *size)
{
    std::string pdf = burst_pdf();
    *size = pdf.size();
    FILE *f = std::fopen(in.c_str(), "wb");
    bool written = f && std::fwrite(pdf.data(), 1, pdf.size(), f) == pdf.size();
    if (f)
        std::fclose(f);
    return written;
}

// The best wall time of `runs` bursts of the file, or -1 when one failed.
double best_burst(const std::string &in, const std::string &out, int runs)
{
    double best = -1;
    for (int r = 0; r < runs; r++) {
        child_run run = burst_in_child(in, out);
        remove_dir(out);
        if (run.wall < 0)
            return -1;
        if (best < 0 || run.wall < best)
            best = run.wall;
    }
    return best;
}

}  // namespace

void bench_burst()
{
    std::string dir = split_dir();
    std::string in = dir + "/burst-in.pdf";
    size_t pdf_size = 0;
    if (!write_burst_input(in, &pdf_size)) {
        std::printf("burst: cannot write the input\n");
        return;
    }
    std::printf("burst: %d pages under %d pages nodes, %.1f MB input, files in %s\n", BURST_PAGES,
                BURST_NODES, pdf_size / 1e6, dir.c_str());

    std::string ours = dir + "/burst";
    child_run run = burst_in_child(in, ours);
    int files = 0;
    double bytes = dir_bytes(ours, &files);
    remove_dir(ours);
    if (run.wall < 0) {
        std::printf("  rorezide burst failed\n");
        remove_dir(dir);
        return;
    }
    std::printf("  rorezide        %9.2f s  %d files, %.1f MB written (%.2f x the input), peak "
                "memory %.1f MB\n",
                run.wall, files, bytes / 1e6, bytes / static_cast<double>(pdf_size),
                run.peak_kb / 1e3);
    if (!bench_have_tool("qpdf")) {
        std::printf("  qpdf not installed\n");
        remove_dir(dir);
        return;
    }
    std::string theirs = dir + "/qpdf-burst";
    mkdir(theirs.c_str(), 0777);
    double t = bench_time_command("qpdf --split-pages '" + in + "' '" + theirs + "/%d.pdf'");
    remove_dir(theirs);
    mkdir(theirs.c_str(), 0777);
    bench_time_command("qpdf --split-pages --object-streams=disable '" + in + "' '" + theirs +
                       "/%d.pdf'");
    int qfiles = 0;
    double qbytes = dir_bytes(theirs, &qfiles);
    remove_dir(theirs);
    if (t > 0)
        std::printf("  qpdf            %9.2f s  ratio qpdf/rorezide %.2f\n", t, t / run.wall);
    if (qbytes > 0)
        std::printf("  qpdf --object-streams=disable: %d files, %.1f MB; bytes rorezide/qpdf "
                    "%.2f\n",
                    qfiles, qbytes / 1e6, bytes / qbytes);
    remove_dir(dir);
}

void bench_burst_encrypted()
{
    if (!bench_have_tool("qpdf")) {
        std::printf("burst-encrypted: qpdf not installed\n");
        return;
    }
    std::string dir = split_dir();
    std::string gen = dir + "/generated.pdf";
    size_t size = 0;
    if (!write_burst_input(gen, &size)) {
        std::printf("burst-encrypted: cannot write the input\n");
        return;
    }
    std::printf("burst-encrypted: the burst section's document (%.1f MB) rewritten by qpdf, "
                "best of 3 bursts each\n",
                size / 1e6);
    struct variant {
        const char *layout;  // qpdf's object-stream option
        const char *name;
        const char *encrypt;  // qpdf's encryption options, "" for none
    };
    const variant variants[] = {
        {"--object-streams=disable", "plain", ""},
        {"--object-streams=disable", "AES-256", "--encrypt '' owner 256 --"},
        {"--object-streams=disable", "RC4-128", "--allow-weak-crypto --encrypt '' owner 128 --"},
        {"--object-streams=generate", "plain, object streams", ""},
        {"--object-streams=generate", "AES-256, object streams", "--encrypt '' owner 256 --"},
        {"--object-streams=generate", "RC4-128, object streams",
         "--allow-weak-crypto --encrypt '' owner 128 --"},
    };
    double baseline = -1;
    for (const variant &v : variants) {
        std::string in = dir + "/variant.pdf";
        if (bench_time_command(std::string("qpdf ") + v.layout + " " + v.encrypt + " '" + gen +
                               "' '" + in + "'") < 0) {
            std::printf("  %-26s qpdf failed\n", v.name);
            continue;
        }
        double t = best_burst(in, dir + "/burst", 3);
        if (!v.encrypt[0])
            baseline = t;
        if (t < 0)
            std::printf("  %-26s burst failed\n", v.name);
        else if (v.encrypt[0] && baseline > 0)
            std::printf("  %-26s %7.2f s  %.2f x unencrypted\n", v.name, t, t / baseline);
        else
            std::printf("  %-26s %7.2f s\n", v.name, t);
    }
    remove_dir(dir);
}
