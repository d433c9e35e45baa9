// Object-stream stage on hostile input: files of n /ObjStm containers whose
// stream data all run to one shared "endstream". Each container's data is
// a valid zlib stream up to that keyword and never ends: it decodes through
// every later container and stops only when the input does. Reading each
// container to the end would cost work quadratic in the file size; the
// figures show how the time to count grows with n.
#include <cstdio>
#include <cstdint>
#include <string>

#include "bench.h"
#include "rorezide.h"

namespace {

// DEFLATE fields least significant bit first, Huffman codes most
// significant bit first, as RFC 1951 packs them.
struct bits_out {
    std::string out;
    uint32_t acc = 0;
    int n = 0;
    void put(uint32_t v, int len)
    {
        for (int i = 0; i < len; i++) {
            acc |= ((v >> i) & 1u) << n;
            if (++n == 8) {
                out += static_cast<char>(acc);
                acc = 0;
                n = 0;
            }
        }
    }
    void code(uint32_t c, int len)
    {
        for (int i = len - 1; i >= 0; i--)
            put((c >> i) & 1u, 1);
    }
    void align()
    {
        if (n > 0)
            put(0, 8 - n);
    }
};

std::string container_header(int num)
{
    return std::to_string(num) +
           " 0 obj\n<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode >>\nstream\n";
}

// The zlib data of one container up to the next container's header: the
// zlib header, a fixed-code block that is not the last, five 9-bit
// literals that bring the codes to a byte boundary, then `filler` bytes of
// '.', each of which reads as the 8-bit code of one more literal. With
// `next` bytes to follow, the block ends and a stored block takes exactly
// those bytes (the next container's header and its zlib header), so the
// decoding goes on with that container's own block; without, the literals
// run into the "endstream" line and the input ends first.
std::string container_data(size_t filler, size_t next)
{
    bits_out w;
    w.put(0, 1);  // not the last block
    w.put(1, 2);  // fixed codes
    for (int i = 0; i < 5; i++)
        w.code(0x190, 9);  // literal 144
    std::string data = "\x78\x9C" + w.out + std::string(filler, '.');
    if (next == 0)
        return data;
    bits_out t;
    t.code(0, 7);  // end of block
    t.put(0, 1);
    t.put(0, 2);  // stored block
    t.align();
    t.put(static_cast<uint32_t>(next), 16);
    t.put(static_cast<uint32_t>(~next & 0xFFFF), 16);
    return data + t.out;
}

// One page in plain objects, then `count` containers of about 1 kB each.
std::string overlapping_objstm_pdf(int count)
{
    std::string f = "%PDF-1.5\n";
    f += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    f += "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n";
    f += "3 0 obj\n<< /Type /Page /MediaBox [0 0 200 200] >>\nendobj\n";
    for (int i = 0; i < count; i++) {
        size_t next = i + 1 < count ? container_header(10 + i + 1).size() + 2 : 0;
        f += container_header(10 + i) + container_data(900, next);
    }
    f += "\nendstream\nendobj\ntrailer\n<< /Root 1 0 R >>\nstartxref\n0\n%%EOF\n";
    return f;
}

void write_all(const std::string &path, const std::string &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Best of three counts, in seconds; one count only when it takes more than
// a second.
double time_count(const std::string &path, int *pages)
{
    double best = 1e9;
    for (int r = 0; r < 3 && (r == 0 || best < 1.0); r++) {
        double t = bench_now();
        *pages = rorezide_page_count(path.c_str());
        double d = bench_now() - t;
        best = d < best ? d : best;
    }
    return best;
}

}  // namespace

void bench_objstm()
{
    std::printf("objstm: count of files whose object streams all run to one \"endstream\"\n");
    const int counts[] = {250, 1000, 4000};
    double prev = 0;
    int prev_n = 0;
    for (int n : counts) {
        std::string bytes = overlapping_objstm_pdf(n);
        std::string path = bench_dir() + "/overlap-" + std::to_string(n) + ".pdf";
        write_all(path, bytes);
        int pages = 0;
        double t = time_count(path, &pages);
        std::printf("  %5d containers %6.2f MB %3d page(s)  count %9.2f ms", n, bytes.size() / 1e6,
                    pages, t * 1e3);
        if (prev > 0)
            std::printf("  x%.1f for x%d containers", t / prev, n / prev_n);
        std::printf("\n");
        prev = t;
        prev_n = n;
    }
}
