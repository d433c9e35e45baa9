// Strings that change object on the way out. In an encrypted document every
// string of a plain object is encrypted with that object's key, made from
// its number and generation; an output keeps plain objects under their own
// numbers and generations, so their bytes stay as they are. Text that the
// output holds in another object than the input did (an object taken from
// an object stream, whose strings were never encrypted on their own; a
// rewritten page's entries and the inherited resources written into it; a
// repeated page's copy; the values the new catalog carries) has its
// strings decrypted with the key of the object they came from, when they
// were encrypted, and encrypted again with the key of the object they now
// stand in. Everything between the strings is copied byte for byte; each
// string re-encrypted is written as a hex string.
//
// AES needs a 16-byte initialisation vector for each string. It is derived,
// not drawn from a random source: the first 16 bytes of the SHA-256 of the
// target object's key, its number and generation, the string's position in
// the output and its plaintext. So every output is reproducible (a series
// writes the very files single calls write), no two strings of one file
// share a vector unless they are the same string at the same place, and
// the library needs no system source of randomness (on Windows, the DLL
// imports nothing beyond KERNEL32 and the C runtime).
#include <cstdlib>
#include <cstring>

#include "crypt/sha256.h"
#include "doc/doc.h"
#include "doc/security.h"
#include "scan/scan.h"
#include "write/extract.h"

namespace {

const char HEX_DIGITS[] = "0123456789ABCDEF";

// Bytes of hex text formatted at a time.
constexpr size_t HEX_CHUNK = 256;

// The text's string at [open, end), decoded into plain (room for end -
// open bytes). Returns the decoded length.
int32_t decode_string(const unsigned char *text, int32_t open, int32_t end, unsigned char *plain)
{
    int32_t len = 0;
    int32_t room = end - open;
    if (text[open] == '(')
        decode_literal_string(text, open, end, plain, room, &len);
    else
        decode_hex_string(text, open, end, plain, room, &len);
    return len < room ? len : room;
}

void put_le32(unsigned char *p, uint32_t v)
{
    for (int k = 0; k < 4; k++)
        p[k] = static_cast<unsigned char>(v >> (8 * k));
}

// The initialisation vector of a string written at output position pos
// (see the top of the file).
void derive_iv(const string_keys &keys, uint64_t pos, const unsigned char *plain, size_t len,
               unsigned char iv[AES_BLOCK_SIZE])
{
    unsigned char where[16];
    put_le32(where, static_cast<uint32_t>(keys.to_num));
    put_le32(where + 4, static_cast<uint32_t>(keys.to_gen));
    put_le32(where + 8, static_cast<uint32_t>(pos));
    put_le32(where + 12, static_cast<uint32_t>(pos >> 32));
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, keys.to.bytes, keys.to.len);
    sha256_update(&ctx, where, sizeof where);
    sha256_update(&ctx, plain, len);
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_final(&ctx, digest);
    std::memcpy(iv, digest, AES_BLOCK_SIZE);
}

// Appends bytes as a hex string.
void append_hex_string(out_buf *out, const unsigned char *bytes, size_t len)
{
    char chunk[2 * HEX_CHUNK];
    buf_bytes(out, "<", 1);
    for (size_t done = 0; done < len;) {
        size_t n = len - done < HEX_CHUNK ? len - done : HEX_CHUNK;
        for (size_t k = 0; k < n; k++) {
            chunk[2 * k] = HEX_DIGITS[bytes[done + k] >> 4];
            chunk[2 * k + 1] = HEX_DIGITS[bytes[done + k] & 15];
        }
        buf_bytes(out, chunk, 2 * n);
        done += n;
    }
    buf_bytes(out, ">", 1);
}

// Appends the string text[open, end) re-encrypted. A string that does not
// decrypt (AES data that is no IV and whole blocks, or whose padding is
// wrong) is copied as it stands: no key would make it readable.
void recrypt_string(out_buf *out, const unsigned char *text, int32_t open, int32_t end,
                    const string_keys &keys)
{
    size_t room = static_cast<size_t>(end - open);
    size_t cipher_room = 0;
    if (objcrypt_encrypted_size(keys.to.method, room, &cipher_room) < 0 ||
        cipher_room > SIZE_MAX - room) {
        out->lost = 1;
        return;
    }
    unsigned char *work = static_cast<unsigned char *>(std::malloc(room + cipher_room));
    if (!work) {
        out->lost = 1;
        return;
    }
    unsigned char *plain = work;
    unsigned char *cipher = work + room;
    size_t plain_len = static_cast<size_t>(decode_string(text, open, end, plain));
    bool readable = keys.from_plain ||
                    objcrypt_decrypt(&keys.from, plain, plain_len, plain, &plain_len) == 0;
    if (!readable) {
        buf_bytes(out, text + open, room);
        std::free(work);
        return;
    }
    unsigned char iv[AES_BLOCK_SIZE];
    derive_iv(keys, out->len, plain, plain_len, iv);
    size_t cipher_len = 0;
    if (objcrypt_encrypt(&keys.to, iv, plain, plain_len, cipher, cipher_room, &cipher_len) < 0)
        out->lost = 1;
    else
        append_hex_string(out, cipher, cipher_len);
    std::free(work);
}

}  // namespace

string_keys string_keys_for(const pdf_doc *doc, const string_source &from, int32_t to_num,
                            int32_t to_gen)
{
    string_keys keys{};
    if (!doc_strings_encrypted(doc))
        return keys;
    // Text that stays in the object it came from keeps its bytes.
    if (!from.compressed && from.num == to_num && from.gen == to_gen)
        return keys;
    keys.from_plain = from.compressed;
    if (!from.compressed && doc_string_key(doc, from.num, from.gen, &keys.from) < 0)
        return keys;
    if (doc_string_key(doc, to_num, to_gen, &keys.to) < 0)
        return keys;
    keys.active = 1;
    keys.to_num = to_num;
    keys.to_gen = to_gen;
    return keys;
}

void recrypt_append(out_buf *out, const unsigned char *text, int32_t len, const string_keys *keys)
{
    if (len <= 0)
        return;
    if (!keys || !keys->active) {
        buf_bytes(out, text, static_cast<uint64_t>(len));
        return;
    }
    int32_t copied = 0;  // text before this position has been appended
    for (int32_t i = 0; i < len;) {
        lex_step s = lex_next(text, i, len);
        if (s.kind == LEX_END)
            break;
        if (s.kind == LEX_STRING || s.kind == LEX_HEX_STRING) {
            buf_bytes(out, text + copied, static_cast<uint64_t>(i - copied));
            recrypt_string(out, text, i, s.next, *keys);
            copied = s.next;
        }
        i = s.next;
    }
    buf_bytes(out, text + copied, static_cast<uint64_t>(len - copied));
}
