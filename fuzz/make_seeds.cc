// Writes the seed corpora of the fuzz targets into a directory:
//   DIR/pdf/      the fixture documents the tests build, for fuzz_load and
//                 fuzz_split
//   DIR/inflate/  zlib streams of stored blocks, for fuzz_inflate
// Streams with fixed and dynamic Huffman blocks are kept as files beside
// this program (fuzz/seeds/inflate), since making them needs a compressor.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "support/fixture.h"
#include "support/fixture_docs.h"

namespace {

bool write_seed(const std::string &path, const std::string &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    mkdir(dir.c_str(), 0777);
    mkdir((dir + "/pdf").c_str(), 0777);
    mkdir((dir + "/inflate").c_str(), 0777);
    int written = 0;
    for (auto &doc : fixture_documents()) {
        if (!write_seed(dir + "/pdf/" + doc.first + ".pdf", doc.second)) {
            std::perror(doc.first.c_str());
            return 1;
        }
        written++;
    }
    const std::string streams[] = {
        "",
        "5 0 6 4 <<>>abc",
        "1 0 2 34 << /Type /Catalog /Pages 2 0 R >>\n<< /Type /Pages /Kids [] /Count 0 >>\n",
        std::string(70000, 'x'),  // two stored blocks
    };
    int k = 0;
    for (const std::string &s : streams) {
        std::string name = dir + "/inflate/stored" + std::to_string(k++) + ".z";
        if (!write_seed(name, zlib_stored_stream(s))) {
            std::perror(name.c_str());
            return 1;
        }
        written++;
    }
    std::printf("%d seeds written to %s\n", written, dir.c_str());
    return 0;
}
