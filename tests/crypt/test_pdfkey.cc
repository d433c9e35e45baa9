// The user password and the file key against qpdf: files encrypted by qpdf
// with each revision and method, their encryption dictionaries read from
// qpdf's own display of them, and the file key qpdf reports. The streams
// of the same files are decrypted with their objects' keys and compared with
// what qpdf decrypts, and encrypted back into the file's own bytes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "crypt/crypt_test.h"
#include "crypt/objcrypt.h"
#include "crypt/pdfkey.h"
#include "support/fixture.h"

namespace {

// A page whose contents are two streams: 32 bytes (whole AES blocks, so a
// block of padding follows) and a few hundred.
std::string two_stream_pdf()
{
    std::string text;
    for (int i = 0; text.size() < 500; i++)
        text += "BT /F1 12 Tf 20 " + std::to_string(20 + 14 * i) + " Td (Line " +
                std::to_string(i) + ") Tj ET\n";
    pdf_builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 200 200] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents [4 0 R 5 0 R] "
             "/Resources << /Font << /F1 6 0 R >> >> >>");
    b.stream(4, "<< >>", "0 0 1 rg 10 10 50 50 re f % 32 b");
    b.stream(5, "<< >>", text);
    b.obj(6, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    return b.finish("/Root 1 0 R");
}

// The PDF string (literal or hexadecimal) at text[at], its bytes.
std::string pdf_string_at(const std::string &text, size_t at)
{
    std::string s;
    if (at >= text.size())
        return s;
    if (text[at] == '<') {
        std::string hex;
        for (size_t i = at + 1; i < text.size() && text[i] != '>'; i++)
            if (std::isxdigit(static_cast<unsigned char>(text[i])))
                hex += text[i];
        if (hex.size() % 2)
            hex += '0';
        bytes b = from_hex(hex);
        return std::string(b.begin(), b.end());
    }
    int depth = 0;
    for (size_t i = at; i < text.size(); i++) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char e = text[++i];
            if (e >= '0' && e <= '7') {
                int v = 0;
                for (int n = 0; n < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7';
                     n++, i++)
                    v = v * 8 + (text[i] - '0');
                i--;
                s += static_cast<char>(v);
            } else if (e == '\r' || e == '\n') {
                if (e == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    i++;
            } else {
                const char *from = "nrtbf", *to = "\n\r\t\b\f";
                const char *k = std::strchr(from, e);
                s += k ? to[k - from] : e;
            }
        } else if (c == '(') {
            if (depth++ > 0)
                s += c;
        } else if (c == ')') {
            if (--depth == 0)
                break;
            s += c;
        } else {
            s += c;
        }
    }
    return s;
}

// The value after "KEY " in a dictionary qpdf displayed, as text up to the
// next delimiter, or as a string; empty when the key is absent.
std::string token_after(const std::string &dict, const std::string &key)
{
    size_t at = dict.find(key + " ");
    if (at == std::string::npos)
        return "";
    at += key.size() + 1;
    size_t end = dict.find_first_of(" /<>[]()", at);
    return dict.substr(at, end - at);
}

std::string string_after(const std::string &dict, const std::string &key)
{
    size_t at = dict.find(key + " ");
    return at == std::string::npos ? "" : pdf_string_at(dict, at + key.size() + 1);
}

struct qpdf_file {
    std::string path;
    std::string password;
    std::string dict;     // the encryption dictionary as qpdf shows it
    std::string id0;      // the first /ID string
    std::string key_hex;  // the file key qpdf reports
    std::string O, U, UE;
};

std::string qpdf(const qpdf_file &f, const std::string &args)
{
    std::string out;
    run_command("qpdf --password=" + shell_quote(f.password) + " " + args + " " +
                    shell_quote(f.path),
                &out);
    return out;
}

// Encrypts the input with qpdf's arguments into path and reads back what
// qpdf says of it. False when qpdf failed.
bool make_qpdf_file(const std::string &in, const std::string &path, const std::string &args,
                    const std::string &user, qpdf_file *f)
{
    std::string cmd = "qpdf --allow-weak-crypto --encrypt " + shell_quote(user) + " owner " +
                      args + " -- --object-streams=disable --compress-streams=n " +
                      shell_quote(in) + " " + shell_quote(path);
    if (run_command(cmd) != 0)
        return false;
    f->path = path;
    f->password = user;
    std::string trailer = qpdf(*f, "--show-object=trailer");
    f->dict = qpdf(*f, "--show-object=" + token_after(trailer, "/Encrypt"));
    size_t id = trailer.find("/ID [");
    if (id == std::string::npos)
        return false;
    f->id0 = pdf_string_at(trailer, trailer.find_first_of("<(", id));
    std::string shown = qpdf(*f, "--show-encryption-key --show-encryption");
    size_t k = shown.find("Encryption key = ");
    if (k == std::string::npos)
        return false;
    f->key_hex = shown.substr(k + 17, shown.find('\n', k) - k - 17);
    f->O = string_after(f->dict, "/O");
    f->U = string_after(f->dict, "/U");
    f->UE = string_after(f->dict, "/UE");
    return true;
}

const unsigned char *data_of(const std::string &s)
{
    return reinterpret_cast<const unsigned char *>(s.data());
}

pdfkey_values values_of(const qpdf_file &f)
{
    pdfkey_values v{};
    v.R = std::stoi(token_after(f.dict, "/R"));
    // The dictionary's own /Length follows /CF, whose filters have theirs.
    size_t length = f.dict.rfind("/Length ");
    v.length_bits = length == std::string::npos ? 40 : std::stoi(f.dict.substr(length + 8));
    v.O = data_of(f.O);
    v.O_len = f.O.size();
    v.U = data_of(f.U);
    v.U_len = f.U.size();
    v.UE = data_of(f.UE);
    v.UE_len = f.UE.size();
    v.P = static_cast<uint32_t>(std::stoll(token_after(f.dict, "/P")));
    v.encrypt_metadata = token_after(f.dict, "/EncryptMetadata") != "false";
    v.id0 = data_of(f.id0);
    v.id0_len = f.id0.size();
    return v;
}

struct qpdf_case {
    const char *args;
    int R;
    objcrypt_method method;
};

const qpdf_case QPDF_CASES[] = {
    {"40", 2, OBJCRYPT_RC4},
    {"40 --print=n --modify=n", 2, OBJCRYPT_RC4},
    {"128 --use-aes=n", 3, OBJCRYPT_RC4},
    {"128 --use-aes=n --assemble=n --extract=n", 3, OBJCRYPT_RC4},
    {"128 --use-aes=n --force-V4", 4, OBJCRYPT_RC4},
    {"128 --use-aes=y", 4, OBJCRYPT_AESV2},
    {"128 --use-aes=y --cleartext-metadata", 4, OBJCRYPT_AESV2},
    {"256 --force-R5", 5, OBJCRYPT_AESV3},
    {"256", 6, OBJCRYPT_AESV3},
    {"256 --modify=none", 6, OBJCRYPT_AESV3},
};

// The empty user password opens every kind of file qpdf makes with it and
// gives the file key qpdf reports. Each stream, decrypted with its object's
// key, is what qpdf decrypts; encrypted again (for AES with the IV the file
// holds) it is the file's bytes again.
TEST(PdfKey, EmptyUserPasswordOpensQpdfFilesAndTheirStreams)
{
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf not found";
    std::string dir = make_temp_dir();
    write_file(dir + "/in.pdf", two_stream_pdf());
    for (const qpdf_case &c : QPDF_CASES) {
        qpdf_file f;
        ASSERT_TRUE(make_qpdf_file(dir + "/in.pdf", dir + "/out.pdf", c.args, "", &f)) << c.args;
        pdfkey_values v = values_of(f);
        EXPECT_EQ(v.R, c.R) << c.args;
        pdfkey_file_key file_key;
        ASSERT_EQ(pdfkey_authenticate_user(&v, nullptr, 0, &file_key), 1) << c.args;
        EXPECT_EQ(to_hex(file_key.bytes, file_key.len), f.key_hex) << c.args;
        std::string pdf = read_file(f.path);
        int streams = 0;
        for (size_t at = pdf.find(" obj\n"); at != std::string::npos;
             at = pdf.find(" obj\n", at + 1)) {
            // "NUM GEN obj\n<< /Length LEN >>\nstream\n" DATA, as qpdf writes
            // a stream.
            size_t line = pdf.rfind('\n', at) + 1;
            int64_t num = std::stoll(pdf.substr(line));
            int64_t gen = std::stoll(pdf.substr(pdf.find(' ', line) + 1));
            size_t next = pdf.find(" obj\n", at + 1);
            size_t start = pdf.find(">>\nstream\n", at);
            if (start == std::string::npos || start > next)
                continue;
            std::string data = pdf.substr(
                start + 10, std::stoul(token_after(pdf.substr(at, start - at), "/Length")));
            std::string expected = qpdf(f, "--show-object=" + std::to_string(num) +
                                               " --raw-stream-data");
            streams++;
            objcrypt_key key;
            ASSERT_EQ(objcrypt_object_key(c.method, file_key.bytes, file_key.len, num, gen, &key),
                      0);
            bytes plain(data.size());
            size_t plain_len = 0;
            ASSERT_EQ(objcrypt_decrypt(&key, data_of(data), data.size(), plain.data(), &plain_len),
                      0)
                << c.args << " object " << num;
            EXPECT_EQ(std::string(plain.begin(), plain.begin() + plain_len), expected)
                << c.args << " object " << num;

            bytes again(data.size() + 32);
            size_t again_len = 0;
            ASSERT_EQ(objcrypt_encrypt(&key, data_of(data), data_of(expected), expected.size(),
                                       again.data(), again.size(), &again_len),
                      0);
            EXPECT_EQ(std::string(again.begin(), again.begin() + again_len), data)
                << c.args << " object " << num;
        }
        EXPECT_EQ(streams, 2) << c.args;
    }
    remove_tree(dir);
}


// A user password that is not empty: the empty one does not open the file,
// the right one does and gives qpdf's key, a wrong one of the same length
// does not.
TEST(PdfKey, OtherUserPasswordsAreTold)
{
    if (!have_tool("qpdf"))
        GTEST_SKIP() << "qpdf not found";
    std::string dir = make_temp_dir();
    write_file(dir + "/in.pdf", simple_pdf(1));
    for (const char *args : {"40", "128 --use-aes=n", "128 --use-aes=y", "256 --force-R5", "256"}) {
        qpdf_file f;
        ASSERT_TRUE(make_qpdf_file(dir + "/in.pdf", dir + "/out.pdf", args, "secret", &f)) << args;
        pdfkey_values v = values_of(f);
        pdfkey_file_key key;
        EXPECT_EQ(pdfkey_authenticate_user(&v, nullptr, 0, &key), 0) << args;
        EXPECT_EQ(pdfkey_authenticate_user(&v, data_of("secreT"), 6, &key), 0) << args;
        ASSERT_EQ(pdfkey_authenticate_user(&v, data_of("secret"), 6, &key), 1) << args;
        EXPECT_EQ(to_hex(key.bytes, key.len), f.key_hex) << args;
    }
    remove_tree(dir);
}

// Values a hostile or broken dictionary can hold are refused before any
// byte is read past what was given.
TEST(PdfKey, UnusableValuesAreRefused)
{
    const unsigned char zeros[48] = {};
    auto usable = [&](int R) {
        pdfkey_values v{};
        v.R = R;
        v.length_bits = 128;
        v.O = v.U = v.UE = zeros;
        v.O_len = v.U_len = R <= 4 ? 32 : 48;
        v.UE_len = 32;
        v.encrypt_metadata = true;
        return v;
    };
    pdfkey_file_key key;
    for (int R = 2; R <= 6; R++) {
        pdfkey_values v = usable(R);
        EXPECT_EQ(pdfkey_authenticate_user(&v, nullptr, 0, &key), 0) << R;
    }
    const struct {
        int R;
        void (*spoil)(pdfkey_values *);
    } cases[] = {
        {1, [](pdfkey_values *) {}},
        {7, [](pdfkey_values *) {}},
        {3, [](pdfkey_values *v) { v->length_bits = 32; }},
        {3, [](pdfkey_values *v) { v->length_bits = 136; }},
        {4, [](pdfkey_values *v) { v->length_bits = 44; }},
        {2, [](pdfkey_values *v) { v->O_len = 31; }},
        {3, [](pdfkey_values *v) { v->U_len = 31; }},
        {4, [](pdfkey_values *v) { v->O = nullptr; }},
        {5, [](pdfkey_values *v) { v->U_len = 47; }},
        {6, [](pdfkey_values *v) { v->UE_len = 31; }},
        {6, [](pdfkey_values *v) { v->UE = nullptr; }},
        {3, [](pdfkey_values *v) { v->id0_len = 16; }},
    };
    for (const auto &c : cases) {
        pdfkey_values v = usable(c.R);
        c.spoil(&v);
        EXPECT_EQ(pdfkey_authenticate_user(&v, nullptr, 0, &key), -1) << &c - cases;
    }
    pdfkey_values v = usable(6);
    EXPECT_EQ(pdfkey_authenticate_user(&v, nullptr, 1, &key), -1);
}

}  // namespace
