// Which encrypted documents open: qpdf's files with the empty user password,
// and the same files with one value of the encryption dictionary, the
// trailer or an object stream changed. A value the handler cannot use
// refuses the file with the message of every encrypted file that does not
// open; one it reads past (a longer /O, /P written unsigned, a filter's
// /Length beside AES-128) keeps it open; damaged object-stream data makes
// the stream unreadable, never more.
#include <gtest/gtest.h>

#include <string>

#include "doc_helpers.h"
#include "rorezide.h"

namespace {

const char REFUSED[] = "Encrypted PDFs are not supported";

struct mutation {
    const char *base;  // the qpdf method: rc4-40, rc4-128, aes-128 or aes-256
    const char *from;  // text replaced where it first stands in the encryption
                       // dictionary (/ID and /Encrypt: in the trailer) ...
    const char *to;    // ... by this
    int pages;         // the count expected, -1 when refused
    const char *message;  // the start of the message when refused
};

const mutation MUTATIONS[] = {
    {"aes-128", "", "", 3, ""},
    {"aes-128", "/Filter /Standard", "/Filter /Adobe.PubSec", -1, REFUSED},
    {"aes-128", "/V 4", "/V 3", -1, REFUSED},
    {"aes-128", "/R 4", "/R 7", -1, REFUSED},
    {"aes-128", "/CFM /AESV2", "/CFM /None", -1, REFUSED},
    {"aes-128", "/CFM /AESV2", "/CFM /AESV3", -1, REFUSED},
    {"aes-128", "/StmF /StdCF", "/StmF /Other", -1, REFUSED},
    {"aes-128", "/CF <<", "/Cx <<", -1, REFUSED},
    {"aes-128", "/Length 16 >>", "/Length 5 >>", 3, ""},   // AES-128 keys are 128 bits
    {"aes-128", "/U <", "/U <00", -1, REFUSED},           // another user password
    {"aes-128", "/U <", "/U <00> /X <", -1, REFUSED},     // a /U too short
    {"aes-128", "/O <", "/O <00>/X <", -1, REFUSED},       // an /O too short
    {"aes-128", "/P -4", "/P -3", -1, REFUSED},           // /P enters the key
    {"aes-128", "/P -4", "/P 4294967292", 3, ""},         // the same low 32 bits
    {"aes-128", "/ID [<", "/ID [<00", -1, REFUSED},       // so does the first /ID
    {"aes-128", "/Encrypt ", "/Encrypt 1 0 R /X ", -1, REFUSED},  // the catalog
    {"aes-128", "/Encrypt ", "/Encrypt 99", -1, REFUSED},         // no such object
    {"rc4-40", "/Length 40", "/Length 44", 3, ""},        // revision 2 keys are 40 bits
    {"rc4-128", "/Length 128", "/Length 44", -1, REFUSED},  // not whole bytes
    {"rc4-128", "/Length 128", "/Length 256", -1, REFUSED},
    {"rc4-128", "/Length 128", "/Length 48", -1, REFUSED},  // another key
    {"aes-256", "/V 5", "/V 4", -1, REFUSED},
    {"aes-256", "/UE <", "/UE <0>/X <", -1, REFUSED},
    {"aes-256", "/ID [<", "/ID [<00", 3, ""},             // revision 6 needs no /ID
    {"aes-256", "/StrF /StdCF", "/StrF /Identity", 3, ""},
};

// The encrypted files of the table, made once from simple_pdf(3) with
// object streams, so that the page tree must be decrypted to be found.
struct encrypted_files {
    std::string dir = make_temp_dir();
    std::string bytes(const std::string &base)
    {
        std::string plain = dir + "/plain.pdf", out = dir + "/" + base + ".pdf";
        if (!file_exists(out)) {
            write_file(plain, simple_pdf(3));
            std::string how = base == "rc4-40"    ? "--allow-weak-crypto --encrypt '' o 40"
                              : base == "rc4-128" ? "--allow-weak-crypto --encrypt '' o 128"
                              : base == "aes-128" ? "--encrypt '' o 128 --use-aes=y"
                                                  : "--encrypt '' o 256";
            run_command("qpdf --object-streams=generate " + how + " -- '" + plain + "' '" + out +
                        "'");
        }
        return read_file(out);
    }
    ~encrypted_files() { remove_tree(dir); }
};

}  // namespace

TEST(Security, WhatTheHandlerCannotUseRefusesTheFile)
{
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    encrypted_files files;
    std::string path = files.dir + "/mutated.pdf";
    for (const mutation &m : MUTATIONS) {
        SCOPED_TRACE(std::string(m.base) + ": " + m.from + " -> " + m.to);
        std::string pdf = files.bytes(m.base);
        std::string from = m.from;
        bool in_trailer = from.rfind("/ID", 0) == 0 || from.rfind("/Encrypt", 0) == 0;
        size_t handler = pdf.rfind(" obj", pdf.find("/Filter /Standard"));
        ASSERT_NE(handler, std::string::npos);
        size_t at = pdf.find(m.from, in_trailer ? 0 : handler);
        ASSERT_NE(at, std::string::npos);
        pdf.replace(at, std::string(m.from).size(), m.to);
        write_file(path, pdf);
        EXPECT_EQ(rorezide_page_count(path.c_str()), m.pages);
        EXPECT_EQ(std::string(rorezide_last_error()).rfind(m.message, 0), 0u)
            << rorezide_last_error();
    }
}

TEST(Security, DamagedObjectStreamDataIsUnreadableData)
{
    // The page tree lives in object streams; one whose AES data is cut, or
    // whose padding is wrong, is skipped like one that does not decompress,
    // and the load fails for want of the page tree.
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf is not installed";
    encrypted_files files;
    std::string path = files.dir + "/damaged.pdf";
    for (const char *base : {"aes-128", "aes-256"}) {
        std::string good = files.bytes(base);
        size_t objstm = good.find("/Type /ObjStm");
        ASSERT_NE(objstm, std::string::npos);
        size_t data = good.find("stream\n", objstm) + 7;
        size_t end = good.find("endstream", data);
        std::string damaged[] = {
            good.substr(0, data) + good.substr(data + 16, end - data - 16) + "\n" +
                good.substr(end),  // 16 bytes cut: the blocks no longer chain
            good.substr(0, end - 2) + "\x01" + good.substr(end - 1),  // the last block changed
            good.substr(0, data + 8) + good.substr(end),              // less than an IV
        };
        for (const std::string &pdf : damaged) {
            SCOPED_TRACE(base);
            write_file(path, pdf);
            EXPECT_EQ(rorezide_page_count(path.c_str()), -1);
            EXPECT_STRNE(rorezide_last_error(), "");
        }
    }
}
