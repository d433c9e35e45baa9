// Every input kept under fuzz/regressions/ goes through the library again
// (with the decoder's seed streams under fuzz/seeds/inflate/):
// PDF inputs (fuzz_load/, fuzz_split/) through the page count, a one-page
// range and the removal of page 1, decoder inputs (fuzz_inflate/) through
// the decoder into a small buffer, a large buffer and in count-only mode.
// Each must keep the result conventions; the ASan build of this suite also
// checks that none of them touches memory it should not or leaks.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "inflate/inflate.h"
#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"

namespace {

// The regular files of fuzz/<sub>, by name, without notes.
std::vector<std::string> regression_inputs(const std::string &sub)
{
    std::string dir = std::string(ROREZIDE_SOURCE_DIR) + "/fuzz/" + sub;
    std::vector<std::string> files;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return files;
    while (dirent *ent = readdir(d)) {
        std::string name = ent->d_name;
        if (name[0] == '.' || name.rfind("README", 0) == 0)
            continue;
        files.push_back(dir + "/" + name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

// A split call's result and message agree: 1 with none, 0 with one.
void expect_split_convention(int result, const std::string &what)
{
    std::string msg = rorezide_last_error();
    EXPECT_TRUE((result == 1 && msg.empty()) || (result == 0 && !msg.empty()))
        << what << ": result " << result << ", message \"" << msg << "\"";
}

void run_pdf(const std::string &path, const std::string &scratch)
{
    int n = rorezide_page_count(path.c_str());
    std::string msg = rorezide_last_error();
    EXPECT_TRUE((n >= 1 && msg.empty()) || (n == -1 && !msg.empty()))
        << path << ": count " << n << ", message \"" << msg << "\"";

    std::string one = scratch + "/one.pdf", rest = scratch + "/rest.pdf";
    unlink(one.c_str());
    unlink(rest.c_str());
    int ok = rorezide_range(path.c_str(), 1, 1, one.c_str());
    expect_split_convention(ok, path + " range 1..1");
    EXPECT_EQ(ok == 1, n >= 1) << path << ": range 1..1 and the count disagree";
    if (ok == 1) {
        EXPECT_EQ(check_layout(read_file(one)), "") << path;
    }

    int first[1] = {1};
    ok = rorezide_remove(path.c_str(), first, 1, rest.c_str());
    expect_split_convention(ok, path + " remove 1");
    EXPECT_EQ(ok == 1, n >= 2) << path << ": remove 1 and the count disagree";
    if (ok == 1) {
        EXPECT_EQ(check_layout(read_file(rest)), "") << path;
    }
}

struct inflate_run {
    int result;
    size_t produced;
};

inflate_run decode(const std::string &src, unsigned char *dst, size_t cap)
{
    inflate_run r{0, 1};
    r.result = inflate_decompress(reinterpret_cast<const unsigned char *>(src.data()), src.size(),
                                  dst, cap, &r.produced);
    return r;
}

void run_inflate(const std::string &path)
{
    std::string src = read_file(path);
    const size_t small_cap = 4096, large_cap = size_t(1) << 20;
    std::vector<unsigned char> small(small_cap), large(large_cap);
    inflate_run counted = decode(src, INFLATE_COUNT_ONLY, INFLATE_MAX_CAPACITY);
    inflate_run runs[2] = {decode(src, small.data(), small_cap), decode(src, large.data(), large_cap)};
    size_t caps[2] = {small_cap, large_cap};
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(path + (i == 0 ? " small buffer" : " large buffer"));
        ASSERT_TRUE(runs[i].result == 0 || runs[i].result == -1);
        if (runs[i].result == -1) {
            EXPECT_EQ(runs[i].produced, 0u);
        } else {
            EXPECT_LE(runs[i].produced, caps[i]);
        }
        // Counting decides: a stream that counts n bytes decodes to n bytes
        // wherever they fit and fails where they do not.
        bool fits = counted.result == 0 && counted.produced <= caps[i];
        EXPECT_EQ(runs[i].result, fits ? 0 : -1);
        if (fits) {
            EXPECT_EQ(runs[i].produced, counted.produced);
        }
    }
}

}  // namespace

TEST(FuzzRegressions, PdfInputsKeepTheConventions)
{
    std::vector<std::string> inputs = regression_inputs("regressions/fuzz_load");
    for (const std::string &f : regression_inputs("regressions/fuzz_split"))
        inputs.push_back(f);
    if (inputs.empty())
        GTEST_SKIP() << "no PDF regression inputs";
    std::string scratch = make_temp_dir();
    for (const std::string &path : inputs)
        run_pdf(path, scratch);
    remove_tree(scratch);
}

TEST(FuzzRegressions, DecoderInputsKeepTheConventions)
{
    // The seed streams too: they sit at the capacity boundaries.
    std::vector<std::string> inputs = regression_inputs("regressions/fuzz_inflate");
    for (const std::string &f : regression_inputs("seeds/inflate"))
        inputs.push_back(f);
    if (inputs.empty())
        GTEST_SKIP() << "no decoder regression inputs";
    for (const std::string &path : inputs)
        run_inflate(path);
}
