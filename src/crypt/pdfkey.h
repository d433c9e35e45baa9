// The standard security handler of PDF (/Filter /Standard): from the values
// of a file's encryption dictionary, whether a password is the user password
// and, when it is, the file key that the strings and streams were encrypted
// with (objcrypt.h turns it into each object's key). Revisions 2 to 4 make
// the key with MD5 and check it with RC4; revision 5 checks with SHA-256 and
// revision 6 with a hash mixing SHA-256, SHA-384, SHA-512 and AES-128, both
// then unwrapping the file key with AES-256. Owner passwords are never
// tried, so /O matters only as an input of the MD5 key and /OE not at all.
//
// The values arrive as bytes and numbers, as the document reader found them;
// nothing here knows the document. Results carry no message: the caller
// words it with the file's name. Nothing is allocated.
#ifndef ROREZIDE_CRYPT_PDFKEY_H
#define ROREZIDE_CRYPT_PDFKEY_H

#include <cstddef>
#include <cstdint>

// Longest file key: 32 bytes, for AES-256.
constexpr size_t PDFKEY_MAX_SIZE = 32;

// Bytes of a password that count: revisions 2 to 4 pad or cut it to 32,
// revisions 5 and 6 cut its UTF-8 form to 127.
constexpr size_t PDFKEY_PASSWORD_R4 = 32;
constexpr size_t PDFKEY_PASSWORD_R6 = 127;

// The encryption dictionary's entries the user password needs. Strings
// longer than their revision's size (32 bytes of /O and /U up to revision
// 4; 48 of /U and 32 of /UE from revision 5) are read up to that size:
// files carrying a few bytes more exist and open in readers. Shorter ones
// make the values unusable.
struct pdfkey_values {
    int R;            // /R, the revision: 2 to 6
    int length_bits;  // the key length for revisions 3 and 4: 40 to 128, a multiple of 8
    const unsigned char *O;
    size_t O_len;
    const unsigned char *U;
    size_t U_len;
    const unsigned char *UE;  // revisions 5 and 6
    size_t UE_len;
    uint32_t P;  // /P's low 32 bits, the permission flags
    bool encrypt_metadata;  // /EncryptMetadata, true when absent; read for revision 4
    const unsigned char *id0;  // the trailer's first /ID string; may be empty
    size_t id0_len;
};

struct pdfkey_file_key {
    unsigned char bytes[PDFKEY_MAX_SIZE];
    size_t len;  // 5 to 16 bytes up to revision 4, 32 for revisions 5 and 6
};

// Tries the password (password_len bytes; the empty password is length 0).
//   1  it is the user password: *key holds the file key.
//   0  it is not.
//  -1  the values are unusable: a revision outside 2 to 6, a key length
//      outside 40 to 128 bits or not whole bytes for revisions 3 and 4, a
//      string shorter than its revision needs, or a password given as null
//      with a length.
// *key is written only on 1.
int pdfkey_authenticate_user(const pdfkey_values *values, const unsigned char *password,
                             size_t password_len, pdfkey_file_key *key);

#endif
