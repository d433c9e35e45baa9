// Decoder throughput: the library's inflate_decompress against zlib's
// uncompress on the same streams, in MB/s of output. The data imitates what
// a load decompresses: page content streams (operators, numbers, strings)
// and object streams full of small dictionaries, cut into streams of the
// sizes PDF producers write and compressed at level 6.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench.h"
#include "inflate/inflate.h"

#if ROREZIDE_HAVE_ZLIB
#include <zlib.h>

namespace {

std::string content_stream_text(size_t n, uint32_t seed)
{
    static const char *words[] = {"the", "of", "page", "split", "document", "and", "in",
                                  "object", "stream", "a", "to", "file", "text", "for"};
    std::mt19937 gen(seed);
    auto rng = [&gen] { return static_cast<unsigned>(gen()); };
    std::string s;
    char line[160];
    while (s.size() < n) {
        int x = 72 + static_cast<int>(rng() % 40);
        int y = 720 - static_cast<int>(rng() % 650);
        std::snprintf(line, sizeof line, "BT\n/F%u %u Tf\n%d %d Td\n(", 1 + rng() % 3,
                      9 + rng() % 4, x, y);
        s += line;
        int nw = 4 + static_cast<int>(rng() % 10);
        for (int i = 0; i < nw; i++) {
            s += words[rng() % (sizeof words / sizeof *words)];
            s += ' ';
        }
        s += ") Tj\nET\n";
        if (rng() % 4 == 0) {
            std::snprintf(line, sizeof line, "q %.3f 0 0 %.3f %d %d cm %d %d %d %d re f Q\n",
                          (rng() % 1000) / 1000.0, (rng() % 1000) / 1000.0, x, y,
                          static_cast<int>(rng() % 500), static_cast<int>(rng() % 700),
                          static_cast<int>(rng() % 200), static_cast<int>(rng() % 30));
            s += line;
        }
    }
    s.resize(n);
    return s;
}

std::string object_stream_text(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    auto rng = [&gen] { return static_cast<unsigned>(gen()); };
    std::string s;
    char obj[400];
    unsigned num = 10;
    while (s.size() < n) {
        switch (rng() % 3) {
        case 0:
            std::snprintf(obj, sizeof obj,
                          "<< /Type /Page /Parent %u 0 R /MediaBox [0 0 612 792] /Contents "
                          "%u 0 R /Resources << /Font << /F1 %u 0 R /F2 %u 0 R >> /ProcSet "
                          "[/PDF /Text] >> /Rotate 0 >>\n",
                          2 + rng() % 5, num + 1, 3 + rng() % 20, 3 + rng() % 20);
            break;
        case 1:
            std::snprintf(obj, sizeof obj,
                          "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-%s "
                          "/Encoding /WinAnsiEncoding /FirstChar 32 /LastChar %u >>\n",
                          rng() % 2 ? "Bold" : "Oblique", 126 + rng() % 100);
            break;
        default:
            std::snprintf(obj, sizeof obj,
                          "<< /Type /Annot /Subtype /Link /Rect [%u %u %u %u] /Border [0 0 0] "
                          "/A << /S /URI /URI (http://example.invalid/%u) >> >>\n",
                          rng() % 600, rng() % 800, rng() % 600, rng() % 800, rng());
            break;
        }
        s += obj;
        num++;
    }
    s.resize(n);
    return s;
}

struct stream_set {
    std::vector<std::vector<unsigned char>> compressed;
    std::vector<size_t> sizes;
    size_t total = 0;
};

stream_set make_streams(const std::string &data, size_t chunk)
{
    stream_set set;
    for (size_t off = 0; off < data.size(); off += chunk) {
        size_t n = std::min(chunk, data.size() - off);
        uLongf len = compressBound(n);
        std::vector<unsigned char> z(len);
        compress2(z.data(), &len, reinterpret_cast<const Bytef *>(data.data() + off), n, 6);
        z.resize(len);
        set.compressed.push_back(z);
        set.sizes.push_back(n);
        set.total += n;
    }
    return set;
}

// Decodes every stream once with the library; false when a result is wrong.
bool decode_all_library(const stream_set &set, std::vector<unsigned char> &out)
{
    for (size_t i = 0; i < set.compressed.size(); i++) {
        size_t produced = 0;
        const auto &z = set.compressed[i];
        if (inflate_decompress(z.data(), z.size(), out.data(), out.size(), &produced) != 0 ||
            produced != set.sizes[i])
            return false;
    }
    return true;
}

bool decode_all_zlib(const stream_set &set, std::vector<unsigned char> &out)
{
    for (size_t i = 0; i < set.compressed.size(); i++) {
        uLongf len = out.size();
        const auto &z = set.compressed[i];
        if (uncompress(out.data(), &len, z.data(), z.size()) != Z_OK || len != set.sizes[i])
            return false;
    }
    return true;
}

// Best MB/s of output over repeated passes lasting about 0.6 s in all.
template <class F>
double best_rate(const stream_set &set, F decode_all)
{
    std::vector<unsigned char> out(1 << 20);
    double best = 0;
    double start = bench_now();
    int passes = 0;
    while (passes < 3 || bench_now() - start < 0.6) {
        double t = bench_now();
        if (!decode_all(set, out))
            return -1;
        double d = bench_now() - t;
        if (d > 0 && set.total / d / 1e6 > best)
            best = set.total / d / 1e6;
        passes++;
    }
    return best;
}

void bench_one(const char *name, const std::string &data, size_t chunk)
{
    stream_set set = make_streams(data, chunk);
    size_t packed = 0;
    for (const auto &z : set.compressed)
        packed += z.size();
    double ours = best_rate(set, decode_all_library);
    double ref = best_rate(set, decode_all_zlib);
    std::printf("inflate: %-16s %5.1f MB in %zu streams (%.1f%% of size): "
                "rorezide %7.1f MB/s, zlib %7.1f MB/s, ratio %.2f\n",
                name, set.total / 1e6, set.compressed.size(), 100.0 * packed / set.total, ours,
                ref, ref > 0 ? ours / ref : 0.0);
}

}  // namespace

void bench_inflate()
{
    const size_t mb = 1000 * 1000;
    std::string content = content_stream_text(6 * mb, 1);
    std::string objects = object_stream_text(4 * mb, 2);
    bench_one("content streams", content, 256 * 1024);
    bench_one("object streams", objects, 64 * 1024);
    bench_one("mixed", content.substr(0, 3 * mb) + objects.substr(0, 2 * mb), 128 * 1024);
}

#else

void bench_inflate()
{
    std::printf("inflate: zlib is absent, nothing to compare against\n");
}

#endif
