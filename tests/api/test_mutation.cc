// Damaged copies of good documents: every fixture document cut short at
// many lengths, and with bytes flipped, inserted and deleted at many
// positions chosen by a fixed generator. Each copy goes through the page
// count and a one-page split. Whatever the damage, each call must return
// success with an empty message or failure with a message, a document that
// counts pages must split, and what is written must be a well-formed file
// (the ASan build of this suite checks memory and leaks on the same cases).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "doc/doc_helpers.h"
#include "rorezide.h"
#include "support/fixture.h"
#include "support/fixture_docs.h"
#include "support/pdf_check.h"

namespace {

// A fixed linear congruential generator: the same cases on every run.
struct lcg {
    uint64_t state;
    uint32_t next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    }
    uint32_t below(uint32_t n) { return n == 0 ? 0 : next() % n; }
};

// Bytes that change how PDF text reads: delimiters, digits, white space.
const char INSERTED[] = "0 9<>()[]/%R\n\r \0\xFF";

// Runs damaged documents and collects the first few broken conventions.
struct sweep {
    std::string dir = make_temp_dir();
    std::string in = dir + "/in.pdf";
    std::string out = dir + "/out.pdf";
    int cases = 0;
    int loaded = 0;
    std::vector<std::string> failures;

    ~sweep()
    {
        unlink(in.c_str());
        unlink(out.c_str());
        rmdir(dir.c_str());
    }

    void fail(const std::string &what, const std::string &label)
    {
        if (failures.size() < 10)
            failures.push_back(label + ": " + what + " (message \"" + rorezide_last_error() + "\")");
    }

    // A fresh file each time: rewriting one in place makes some file
    // systems flush it on close, which would dominate the run time.
    void put(const std::string &path, const std::string &bytes)
    {
        unlink(path.c_str());
        write_file(path, bytes);
    }

    void run(const std::string &bytes, const std::string &label)
    {
        cases++;
        put(in, bytes);
        int n = rorezide_page_count(in.c_str());
        std::string msg = rorezide_last_error();
        if (n == -1 ? msg.empty() : (n < 1 || !msg.empty()))
            fail("page count " + std::to_string(n), label);
        unlink(out.c_str());
        int ok = rorezide_range(in.c_str(), 1, 1, out.c_str());
        std::string split_msg = rorezide_last_error();
        if (n < 1) {
            if (ok != 0 || split_msg != msg)
                fail("split of an unloadable file gave " + std::to_string(ok), label);
            if (file_exists(out))
                fail("failed split left a file", label);
            return;
        }
        loaded++;
        if (ok != 1 || !split_msg.empty()) {
            fail("split of a loadable file gave " + std::to_string(ok), label);
            return;
        }
        std::string written = read_file(out);
        std::string layout = check_layout(written);
        if (!layout.empty())
            fail("written file: " + layout, label);
        else if (new_kids(written).size() != 1)
            fail("written file does not hold one page", label);
    }

    void report(const char *kind)
    {
        std::printf("[ sweep    ] %s: %d cases, %d still loading\n", kind, cases, loaded);
        std::string all;
        for (auto &f : failures)
            all += f + "\n";
        EXPECT_TRUE(failures.empty()) << all;
    }
};

// Positions worth cutting at: just before, at and after each keyword and
// delimiter that ends a structure.
std::vector<size_t> structural_positions(const std::string &doc)
{
    const char *marks[] = {"obj", "endobj", "stream", "endstream", "xref", "trailer",
                           "startxref", "<<", ">>", "/Kids", "/Length", "R"};
    std::vector<size_t> at;
    for (const char *m : marks)
        for (size_t p = doc.find(m); p != std::string::npos; p = doc.find(m, p + 1))
            at.push_back(p);
    return at;
}

std::string label(const std::string &doc, const char *what, size_t pos)
{
    return doc + " " + what + " at " + std::to_string(pos);
}

}  // namespace

TEST(MutationSweep, FixturesLoadBeforeDamage)
{
    const int expected[] = {1, 3, 12, 3, 5, 3, 2};
    auto docs = fixture_documents();
    ASSERT_EQ(docs.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < docs.size(); i++) {
        pdf_doc doc;
        ASSERT_EQ(load_bytes(docs[i].second, &doc), 0) << docs[i].first << ": " << rorezide_last_error();
        EXPECT_EQ(doc.pages.count, expected[i]) << docs[i].first;
        if (docs[i].first == "nested") {
            // Rotation from the root, overridden by 0, by -90 on a node and by
            // 450 on a page; the inner node's crop box reaches its pages.
            const int rotations[] = {90, 0, 90, 270, 90};
            for (int k = 0; k < 5; k++)
                EXPECT_EQ(doc.pages.items[k].rotate, rotations[k]) << "page " << k + 1;
            EXPECT_EQ(doc.pages.items[0].has_crop_box, 1);
            EXPECT_EQ(doc.pages.items[3].has_crop_box, 0);
            EXPECT_EQ(doc.pages.items[2].media_box[2], 100);
            EXPECT_EQ(doc.pages.items[3].resources_num, 21);
            EXPECT_EQ(doc.pages.items[0].resources_num, -1);
        }
        if (docs[i].first == "incremental") {
            EXPECT_EQ(doc.pages.items[1].rotate, 180) << "the update's page 2 wins";
        }
        if (docs[i].first == "objstm" || docs[i].first == "xrefstream") {
            EXPECT_EQ(doc.objstm_count, 1) << docs[i].first;
        }
        doc_free(&doc);
    }
}

TEST(MutationSweep, Truncations)
{
    sweep s;
    for (auto &d : fixture_documents()) {
        const std::string &doc = d.second;
        size_t step = doc.size() / 120 + 1;
        for (size_t len = 0; len < doc.size(); len += step)
            s.run(doc.substr(0, len), label(d.first, "cut", len));
        for (size_t p : structural_positions(doc))
            for (size_t len = p > 0 ? p - 1 : 0; len <= p + 1 && len < doc.size(); len++)
                s.run(doc.substr(0, len), label(d.first, "cut", len));
    }
    s.report("truncations");
}

TEST(MutationSweep, ByteFlips)
{
    sweep s;
    lcg g{1};
    for (auto &d : fixture_documents()) {
        for (int k = 0; k < 500; k++) {
            std::string doc = d.second;
            size_t pos = g.below(static_cast<uint32_t>(doc.size()));
            // Mostly one flipped bit, sometimes a byte replaced outright.
            if (k % 4 == 3)
                doc[pos] = static_cast<char>(g.below(256));
            else
                doc[pos] = static_cast<char>(doc[pos] ^ (1 << g.below(8)));
            s.run(doc, label(d.first, "flip", pos));
        }
    }
    s.report("byte flips");
}

TEST(MutationSweep, Insertions)
{
    sweep s;
    lcg g{2};
    for (auto &d : fixture_documents()) {
        for (int k = 0; k < 300; k++) {
            std::string doc = d.second;
            size_t pos = g.below(static_cast<uint32_t>(doc.size() + 1));
            size_t n = 1 + g.below(3);
            std::string bytes;
            for (size_t i = 0; i < n; i++)
                bytes += INSERTED[g.below(sizeof INSERTED - 1)];
            doc.insert(pos, bytes);
            s.run(doc, label(d.first, "insert", pos));
        }
    }
    s.report("insertions");
}

TEST(MutationSweep, Deletions)
{
    sweep s;
    lcg g{3};
    for (auto &d : fixture_documents()) {
        for (int k = 0; k < 300; k++) {
            std::string doc = d.second;
            size_t pos = g.below(static_cast<uint32_t>(doc.size()));
            // Single bytes mostly, now and then a whole run of them.
            size_t n = k % 5 == 4 ? 1 + g.below(64) : 1 + g.below(4);
            doc.erase(pos, n);
            s.run(doc, label(d.first, "delete", pos));
        }
    }
    s.report("deletions");
}
