// The security stage: whether an encrypted document opens. Many documents
// are encrypted only to carry permissions: their user password is empty,
// and every reader opens them without asking. Those of the standard
// security handler open here too: the values of the encryption dictionary
// named by the trailer that gave /Root are read, the empty password is
// tried, and the file key it gives is kept for the object streams and for
// the writer. Every other encrypted document (a password needed, another
// handler, values this handler does not know) stays closed, and the load
// refuses it.
#include "doc/security.h"

#include <cstdlib>
#include <cstring>

#include "crypt/pdfkey.h"
#include "doc/stages.h"
#include "scan/scan.h"

namespace {

// A dictionary's text, from its "<<" to just past its ">>".
struct dict_text {
    const unsigned char *buf;
    int32_t start;
    int32_t end;
};

// Room kept for /O, /U and /UE: the handler reads at most 48 bytes of any
// of them, and longer strings are read up to their size.
constexpr int32_t HANDLER_STRING_ROOM = 64;

// The position of the value of the dictionary's own key /name, past the
// white space after the key, or -1 without such a key.
int32_t value_pos(const dict_text &d, const char *name)
{
    int32_t key = find_key_own(d.buf, d.end, d.start, d.end, name);
    if (key < 0)
        return -1;
    int32_t after = key + 1 + static_cast<int32_t>(std::strlen(name));
    int32_t p = skip_space_comments(d.buf, after, d.end);
    return p < d.end ? p : -1;
}

// The integer value of /name, or fallback when there is none.
int32_t int_value(const dict_text &d, const char *name, int32_t fallback)
{
    int32_t p = value_pos(d, name);
    if (p < 0)
        return fallback;
    int32_t cursor = p;
    int32_t v = parse_int_at(d.buf, d.end, &cursor);
    return cursor == p ? fallback : v;
}

// The name value of /name: its text after the slash in *text and *len.
// False when the value is no name.
bool name_value(const dict_text &d, const char *name, const unsigned char **text, int32_t *len)
{
    int32_t p = value_pos(d, name);
    if (p < 0 || d.buf[p] != '/')
        return false;
    int32_t end = skip_token(d.buf, p + 1, d.end);
    *text = d.buf + p + 1;
    *len = end - p - 1;
    return true;
}

bool name_is(const unsigned char *text, int32_t len, const char *name)
{
    return static_cast<size_t>(len) == std::strlen(name) &&
           std::memcmp(text, name, static_cast<size_t>(len)) == 0;
}

// The string at pos, decoded: its first out_cap bytes into out, its full
// length into *len. False when no string stands there or it does not end.
bool string_at(const unsigned char *buf, int32_t pos, int32_t limit, unsigned char *out,
               int32_t out_cap, int32_t *len)
{
    if (pos < 0 || pos >= limit)
        return false;
    if (buf[pos] == '(')
        return decode_literal_string(buf, pos, limit, out, out_cap, len) >= 0;
    if (buf[pos] == '<' && !dict_opens_at(buf, pos, limit))
        return decode_hex_string(buf, pos, limit, out, out_cap, len) >= 0;
    return false;
}

// A handler string, /O, /U or /UE, into room of HANDLER_STRING_ROOM bytes:
// its length as far as the room holds, 0 when it is missing.
size_t handler_string(const dict_text &d, const char *name, unsigned char *room)
{
    int32_t len = 0;
    if (!string_at(d.buf, value_pos(d, name), d.end, room, HANDLER_STRING_ROOM, &len))
        return 0;
    return static_cast<size_t>(len < HANDLER_STRING_ROOM ? len : HANDLER_STRING_ROOM);
}

// The dictionary value of /name in d. False when there is none.
bool dict_value(const dict_text &d, const char *name, dict_text *out)
{
    int32_t p = value_pos(d, name);
    if (p < 0 || !dict_opens_at(d.buf, p, d.end))
        return false;
    int32_t close = find_dict_close(d.buf, d.end, p, d.end);
    if (close < 0)
        return false;
    *out = dict_text{d.buf, p, close + 2};
    return true;
}

// The encryption dictionary the trailer named: held in the trailer, or the
// object of that number the index keeps (the last plain definition in the
// file; the handler's dictionary is never stored in an object stream).
bool find_encryption_dict(const pdf_doc *doc, dict_text *d)
{
    const doc_crypt &c = doc->crypt;
    if (c.dict_off >= 0) {
        *d = dict_text{doc->data, c.dict_off, c.dict_end};
        return true;
    }
    if (c.dict_num < 0)
        return false;
    for (int32_t i = doc->objs.count - 1; i >= 0; i--) {
        const obj_entry &e = doc->objs.items[i];
        if (e.num != c.dict_num || e.compressed)
            continue;
        if (e.dict_off < 0 || e.has_stream)
            return false;
        int32_t limit = e.endobj_off < doc->size ? e.endobj_off : doc->size;
        int32_t close = find_dict_close(doc->data, limit, e.dict_off, limit);
        if (close < 0)
            return false;
        *d = dict_text{doc->data, e.dict_off, close + 2};
        return true;
    }
    return false;
}

// The first string of the trailer's /ID array, decoded into a new buffer
// the caller releases. False when memory runs out; a missing /ID, or one
// without a string, gives an empty string.
bool read_id0(const pdf_doc *doc, unsigned char **id0, size_t *len)
{
    *id0 = nullptr;
    *len = 0;
    const doc_crypt &c = doc->crypt;
    if (c.id_off < 0)
        return true;
    int32_t p = skip_space_comments(doc->data, c.id_off + 1, c.id_end);
    int32_t n = 0;
    if (!string_at(doc->data, p, c.id_end, nullptr, 0, &n) || n == 0)
        return true;
    *id0 = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(n)));
    if (!*id0)
        return false;
    string_at(doc->data, p, c.id_end, *id0, n, &n);
    *len = static_cast<size_t>(n);
    return true;
}

// A crypt filter's name in /StmF or /StrF, made a method: /Identity (also
// when the entry is missing), or the /CFM of the filter of that name in
// /CF: /V2 (RC4), /AESV2 or /AESV3. *bits gets the filter's /Length as a
// number of bits (a value of 16 or less counts bytes, as Acrobat and qpdf
// write it, though the PDF reference says bits), or 0 without one. False
// for a filter that is missing or whose method is another (/None leaves
// the decryption to a handler of the reader's own).
bool filter_method(const dict_text &d, const char *which, objcrypt_method *method, int32_t *bits)
{
    *method = OBJCRYPT_IDENTITY;
    *bits = 0;
    const unsigned char *name;
    int32_t len;
    if (value_pos(d, which) < 0)
        return true;
    if (!name_value(d, which, &name, &len))
        return false;
    if (name_is(name, len, "Identity"))
        return true;
    dict_text cf, filter;
    // The filter's name is looked up as a key of /CF, made a C string.
    char key[64];
    if (len <= 0 || len >= static_cast<int32_t>(sizeof key))
        return false;
    std::memcpy(key, name, static_cast<size_t>(len));
    key[len] = '\0';
    if (!dict_value(d, "CF", &cf) || !dict_value(cf, key, &filter))
        return false;
    const unsigned char *cfm;
    int32_t cfm_len;
    if (!name_value(filter, "CFM", &cfm, &cfm_len))
        return false;
    if (name_is(cfm, cfm_len, "V2"))
        *method = OBJCRYPT_RC4;
    else if (name_is(cfm, cfm_len, "AESV2"))
        *method = OBJCRYPT_AESV2;
    else if (name_is(cfm, cfm_len, "AESV3"))
        *method = OBJCRYPT_AESV3;
    else
        return false;
    int32_t length = int_value(filter, "Length", 0);
    *bits = length > 0 && length <= 16 ? length * 8 : length;
    return true;
}

bool is_aes(objcrypt_method m)
{
    return m == OBJCRYPT_AESV2 || m == OBJCRYPT_AESV3;
}

// The methods and key length of a dictionary by its /V and /R: V 1 and 2
// with R 2 or 3 are RC4 for everything (V 1 with 40 bits, V 2 with /Length
// bits, 40 when absent); V 4 with R 4 takes its methods from crypt filters
// (AES-128 with a 128-bit key; RC4 with the filter's /Length, else the
// dictionary's, else 128 bits); V 5 with R 5 or 6 has AES-256 filters.
// False for any other combination.
bool choose_methods(const dict_text &d, int V, int R, doc_crypt *c, int *length_bits)
{
    int32_t dict_bits = int_value(d, "Length", 0);
    if ((V == 1 || V == 2) && (R == 2 || R == 3)) {
        c->strings = c->streams = OBJCRYPT_RC4;
        *length_bits = V == 1 || dict_bits == 0 ? 40 : dict_bits;
        return true;
    }
    if ((V != 4 || R != 4) && (V != 5 || (R != 5 && R != 6)))
        return false;
    int32_t stm_bits, str_bits;
    if (!filter_method(d, "StmF", &c->streams, &stm_bits) ||
        !filter_method(d, "StrF", &c->strings, &str_bits))
        return false;
    if (V == 5) {
        *length_bits = 256;
        return (c->streams == OBJCRYPT_IDENTITY || c->streams == OBJCRYPT_AESV3) &&
               (c->strings == OBJCRYPT_IDENTITY || c->strings == OBJCRYPT_AESV3);
    }
    if (c->streams == OBJCRYPT_AESV3 || c->strings == OBJCRYPT_AESV3)
        return false;
    int32_t filter_bits = stm_bits > 0 ? stm_bits : str_bits;
    *length_bits = is_aes(c->streams) || is_aes(c->strings) ? 128
                   : filter_bits > 0                       ? filter_bits
                   : dict_bits > 0                         ? dict_bits
                                                           : 128;
    return true;
}

// Whether an object key can be made from the file key for each method in
// use (RC4 needs 5 to 16 bytes, AES-128 at least 11).
bool key_suits_methods(const doc_crypt &c)
{
    objcrypt_key k;
    return objcrypt_object_key(c.strings, c.file_key.bytes, c.file_key.len, 1, 0, &k) == 0 &&
           objcrypt_object_key(c.streams, c.file_key.bytes, c.file_key.len, 1, 0, &k) == 0;
}

// Reads the dictionary and tries the empty user password. True, with the
// file key, methods and permissions in c, when it opens the document.
bool open_standard(const pdf_doc *doc, const dict_text &d, doc_crypt *c)
{
    const unsigned char *filter;
    int32_t filter_len;
    if (!name_value(d, "Filter", &filter, &filter_len) || !name_is(filter, filter_len, "Standard"))
        return false;
    int V = int_value(d, "V", 0);
    int R = int_value(d, "R", 0);
    int length_bits = 0;
    if (!choose_methods(d, V, R, c, &length_bits))
        return false;
    unsigned char O[HANDLER_STRING_ROOM], U[HANDLER_STRING_ROOM], UE[HANDLER_STRING_ROOM];
    pdfkey_values v{};
    v.R = R;
    v.length_bits = length_bits;
    v.O = O;
    v.O_len = handler_string(d, "O", O);
    v.U = U;
    v.U_len = handler_string(d, "U", U);
    v.UE = UE;
    v.UE_len = handler_string(d, "UE", UE);
    v.P = static_cast<uint32_t>(int_value(d, "P", 0));
    int32_t meta = value_pos(d, "EncryptMetadata");
    v.encrypt_metadata = !(meta >= 0 && kw_at(d.buf, meta, d.end, "false"));
    unsigned char *id0;
    size_t id0_len;
    if (!read_id0(doc, &id0, &id0_len))
        return false;
    v.id0 = id0;
    v.id0_len = id0_len;
    int rc = pdfkey_authenticate_user(&v, nullptr, 0, &c->file_key);
    std::free(id0);
    if (rc != 1 || !key_suits_methods(*c))
        return false;
    c->R = R;
    c->P = v.P;
    return true;
}

int object_key(const pdf_doc *doc, objcrypt_method method, int32_t num, int32_t gen,
               objcrypt_key *key)
{
    const doc_crypt &c = doc->crypt;
    if (!c.opened || method == OBJCRYPT_IDENTITY)
        return -1;
    return objcrypt_object_key(method, c.file_key.bytes, c.file_key.len, num, gen, key);
}

}  // namespace

void security_open(pdf_doc *doc)
{
    doc_crypt *c = &doc->crypt;
    c->opened = 0;
    dict_text d;
    if (!doc->encrypted || !find_encryption_dict(doc, &d))
        return;
    c->opened = open_standard(doc, d, c) ? 1 : 0;
}

bool doc_may_assemble(const pdf_doc *doc)
{
    const doc_crypt &c = doc->crypt;
    if (!c.opened)
        return true;
    // Revision 2 knows bit 4 only. From revision 3 bit 11 decides alone:
    // bit 4 then covers changes other than assembly, so a document whose
    // owner cleared bit 11 forbids assembly whatever bit 4 says, as other
    // PDF tools read it too.
    if (c.R >= 3)
        return (c.P & (1u << 10)) != 0;
    return (c.P & (1u << 3)) != 0;
}

bool doc_strings_encrypted(const pdf_doc *doc)
{
    return doc->crypt.opened && doc->crypt.strings != OBJCRYPT_IDENTITY;
}

int doc_string_key(const pdf_doc *doc, int32_t num, int32_t gen, objcrypt_key *key)
{
    return object_key(doc, doc->crypt.strings, num, gen, key);
}

int doc_stream_key(const pdf_doc *doc, int32_t num, int32_t gen, objcrypt_key *key)
{
    return object_key(doc, doc->crypt.streams, num, gen, key);
}
