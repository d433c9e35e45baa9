// AES (FIPS 197), byte by byte: the state is 16 bytes, column c's row r at
// 4 c + r, the order the input block is read in. SubBytes looks bytes up in
// the S-box; MixColumns multiplies in GF(2^8) with xtime, InvMixColumns
// looks its products up in tables the compiler builds with xtime.
#include "crypt/aes.h"

#include <cstring>

namespace {

// The S-box (FIPS 197, figure 7) and its inverse (figure 14).
const unsigned char Sbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16,
};

const unsigned char InvSbox[256] = {
    0x52, 0x09, 0x6a, 0xd5, 0x30, 0x36, 0xa5, 0x38, 0xbf, 0x40, 0xa3, 0x9e, 0x81, 0xf3, 0xd7, 0xfb,
    0x7c, 0xe3, 0x39, 0x82, 0x9b, 0x2f, 0xff, 0x87, 0x34, 0x8e, 0x43, 0x44, 0xc4, 0xde, 0xe9, 0xcb,
    0x54, 0x7b, 0x94, 0x32, 0xa6, 0xc2, 0x23, 0x3d, 0xee, 0x4c, 0x95, 0x0b, 0x42, 0xfa, 0xc3, 0x4e,
    0x08, 0x2e, 0xa1, 0x66, 0x28, 0xd9, 0x24, 0xb2, 0x76, 0x5b, 0xa2, 0x49, 0x6d, 0x8b, 0xd1, 0x25,
    0x72, 0xf8, 0xf6, 0x64, 0x86, 0x68, 0x98, 0x16, 0xd4, 0xa4, 0x5c, 0xcc, 0x5d, 0x65, 0xb6, 0x92,
    0x6c, 0x70, 0x48, 0x50, 0xfd, 0xed, 0xb9, 0xda, 0x5e, 0x15, 0x46, 0x57, 0xa7, 0x8d, 0x9d, 0x84,
    0x90, 0xd8, 0xab, 0x00, 0x8c, 0xbc, 0xd3, 0x0a, 0xf7, 0xe4, 0x58, 0x05, 0xb8, 0xb3, 0x45, 0x06,
    0xd0, 0x2c, 0x1e, 0x8f, 0xca, 0x3f, 0x0f, 0x02, 0xc1, 0xaf, 0xbd, 0x03, 0x01, 0x13, 0x8a, 0x6b,
    0x3a, 0x91, 0x11, 0x41, 0x4f, 0x67, 0xdc, 0xea, 0x97, 0xf2, 0xcf, 0xce, 0xf0, 0xb4, 0xe6, 0x73,
    0x96, 0xac, 0x74, 0x22, 0xe7, 0xad, 0x35, 0x85, 0xe2, 0xf9, 0x37, 0xe8, 0x1c, 0x75, 0xdf, 0x6e,
    0x47, 0xf1, 0x1a, 0x71, 0x1d, 0x29, 0xc5, 0x89, 0x6f, 0xb7, 0x62, 0x0e, 0xaa, 0x18, 0xbe, 0x1b,
    0xfc, 0x56, 0x3e, 0x4b, 0xc6, 0xd2, 0x79, 0x20, 0x9a, 0xdb, 0xc0, 0xfe, 0x78, 0xcd, 0x5a, 0xf4,
    0x1f, 0xdd, 0xa8, 0x33, 0x88, 0x07, 0xc7, 0x31, 0xb1, 0x12, 0x10, 0x59, 0x27, 0x80, 0xec, 0x5f,
    0x60, 0x51, 0x7f, 0xa9, 0x19, 0xb5, 0x4a, 0x0d, 0x2d, 0xe5, 0x7a, 0x9f, 0x93, 0xc9, 0x9c, 0xef,
    0xa0, 0xe0, 0x3b, 0x4d, 0xae, 0x2a, 0xf5, 0xb0, 0xc8, 0xeb, 0xbb, 0x3c, 0x83, 0x53, 0x99, 0x61,
    0x17, 0x2b, 0x04, 0x7e, 0xba, 0x77, 0xd6, 0x26, 0xe1, 0x69, 0x14, 0x63, 0x55, 0x21, 0x0c, 0x7d,
};

// The first bytes of the round constant words Rcon[i] = [x^(i-1), 0, 0, 0]
// (5.2), i from 1; keys of 16, 24 and 32 bytes use ten, eight and seven.
const unsigned char Rcon[11] = {0x00, 0x01, 0x02, 0x04, 0x08, 0x10,
                                0x20, 0x40, 0x80, 0x1b, 0x36};

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1 (4.2.1).
constexpr unsigned char xtime(unsigned char b)
{
    return static_cast<unsigned char>((b << 1) ^ ((b >> 7) * 0x1b));
}

void add_round_key(unsigned char s[16], const unsigned char *round_key)
{
    for (int i = 0; i < 16; i++)
        s[i] ^= round_key[i];
}

// SubBytes and ShiftRows in one pass, or InvShiftRows and InvSubBytes: the
// byte that ends at position i comes from position from[i] through the box.
// Row r turns left by r places (ShiftRows), the byte of row r, column c
// coming from column c + r; InvShiftRows turns it back.
const unsigned char ShiftRows[16] = {0, 5, 10, 15, 4, 9, 14, 3, 8, 13, 2, 7, 12, 1, 6, 11};
const unsigned char InvShiftRows[16] = {0, 13, 10, 7, 4, 1, 14, 11, 8, 5, 2, 15, 12, 9, 6, 3};

void substitute_shift(unsigned char s[16], const unsigned char box[256],
                      const unsigned char from[16])
{
    unsigned char t[16];
    std::memcpy(t, s, 16);
    for (int i = 0; i < 16; i++)
        s[i] = box[t[from[i]]];
}

// Each column times {03}x^3 + {01}x^2 + {01}x + {02} (5.1.3).
void mix_columns(unsigned char s[16])
{
    for (int c = 0; c < 4; c++) {
        unsigned char *col = s + 4 * c;
        unsigned char a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        unsigned char d0 = xtime(a0), d1 = xtime(a1), d2 = xtime(a2), d3 = xtime(a3);
        col[0] = static_cast<unsigned char>(d0 ^ d1 ^ a1 ^ a2 ^ a3);
        col[1] = static_cast<unsigned char>(a0 ^ d1 ^ d2 ^ a2 ^ a3);
        col[2] = static_cast<unsigned char>(a0 ^ a1 ^ d2 ^ d3 ^ a3);
        col[3] = static_cast<unsigned char>(d0 ^ a0 ^ a1 ^ a2 ^ d3);
    }
}

// Every byte times {09}, {0b}, {0d} and {0e}, from its products by x, x^2
// and x^3: the factors of InvMixColumns, looked up rather than multiplied
// out for each byte of each round. Built by the compiler.
struct inv_products {
    unsigned char m9[256], mb[256], md[256], me[256];
};

constexpr inv_products make_inv_products()
{
    inv_products p{};
    for (int a = 0; a < 256; a++) {
        unsigned char b = static_cast<unsigned char>(a);
        unsigned char x1 = xtime(b), x2 = xtime(x1), x3 = xtime(x2);
        p.m9[a] = static_cast<unsigned char>(x3 ^ b);
        p.mb[a] = static_cast<unsigned char>(x3 ^ x1 ^ b);
        p.md[a] = static_cast<unsigned char>(x3 ^ x2 ^ b);
        p.me[a] = static_cast<unsigned char>(x3 ^ x2 ^ x1);
    }
    return p;
}

constexpr inv_products InvProducts = make_inv_products();

// Each column times {0b}x^3 + {0d}x^2 + {09}x + {0e} (5.3.3).
void inv_mix_columns(unsigned char s[16])
{
    const inv_products &p = InvProducts;
    for (int c = 0; c < 4; c++) {
        unsigned char *col = s + 4 * c;
        unsigned char a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = static_cast<unsigned char>(p.me[a0] ^ p.mb[a1] ^ p.md[a2] ^ p.m9[a3]);
        col[1] = static_cast<unsigned char>(p.m9[a0] ^ p.me[a1] ^ p.mb[a2] ^ p.md[a3]);
        col[2] = static_cast<unsigned char>(p.md[a0] ^ p.m9[a1] ^ p.me[a2] ^ p.mb[a3]);
        col[3] = static_cast<unsigned char>(p.mb[a0] ^ p.md[a1] ^ p.m9[a2] ^ p.me[a3]);
    }
}

void xor_block(unsigned char *dst, const unsigned char *a, const unsigned char *b)
{
    for (size_t i = 0; i < AES_BLOCK_SIZE; i++)
        dst[i] = a[i] ^ b[i];
}

bool cbc_arguments_ok(const unsigned char *in, const unsigned char *out, size_t len)
{
    return len % AES_BLOCK_SIZE == 0 && (len == 0 || (in && out));
}

}  // namespace

int aes_key_expand(aes_key *key, const unsigned char *bytes, size_t key_len)
{
    if (!bytes || (key_len != 16 && key_len != 24 && key_len != 32))
        return -1;
    int Nk = static_cast<int>(key_len / 4);
    key->Nr = Nk + 6;
    unsigned char *w = key->w;
    std::memcpy(w, bytes, key_len);
    for (int i = Nk; i < 4 * (key->Nr + 1); i++) {
        unsigned char temp[4];
        std::memcpy(temp, w + 4 * (i - 1), 4);
        if (i % Nk == 0) {
            // SubWord(RotWord(temp)) xor Rcon[i / Nk]
            unsigned char first = temp[0];
            temp[0] = static_cast<unsigned char>(Sbox[temp[1]] ^ Rcon[i / Nk]);
            temp[1] = Sbox[temp[2]];
            temp[2] = Sbox[temp[3]];
            temp[3] = Sbox[first];
        } else if (Nk > 6 && i % Nk == 4) {
            for (int b = 0; b < 4; b++)
                temp[b] = Sbox[temp[b]];
        }
        for (int b = 0; b < 4; b++)
            w[4 * i + b] = w[4 * (i - Nk) + b] ^ temp[b];
    }
    return 0;
}

void aes_encrypt_block(const aes_key *key, const unsigned char in[AES_BLOCK_SIZE],
                       unsigned char out[AES_BLOCK_SIZE])
{
    unsigned char s[16];
    std::memcpy(s, in, 16);
    add_round_key(s, key->w);
    for (int round = 1; round < key->Nr; round++) {
        substitute_shift(s, Sbox, ShiftRows);
        mix_columns(s);
        add_round_key(s, key->w + 16 * round);
    }
    substitute_shift(s, Sbox, ShiftRows);
    add_round_key(s, key->w + 16 * key->Nr);
    std::memcpy(out, s, 16);
}

void aes_decrypt_block(const aes_key *key, const unsigned char in[AES_BLOCK_SIZE],
                       unsigned char out[AES_BLOCK_SIZE])
{
    unsigned char s[16];
    std::memcpy(s, in, 16);
    add_round_key(s, key->w + 16 * key->Nr);
    for (int round = key->Nr - 1; round > 0; round--) {
        substitute_shift(s, InvSbox, InvShiftRows);
        add_round_key(s, key->w + 16 * round);
        inv_mix_columns(s);
    }
    substitute_shift(s, InvSbox, InvShiftRows);
    add_round_key(s, key->w);
    std::memcpy(out, s, 16);
}

int aes_cbc_encrypt(const aes_key *key, unsigned char iv[AES_BLOCK_SIZE],
                    const unsigned char *in, unsigned char *out, size_t len)
{
    if (!cbc_arguments_ok(in, out, len))
        return -1;
    for (size_t at = 0; at < len; at += AES_BLOCK_SIZE) {
        unsigned char block[AES_BLOCK_SIZE];
        xor_block(block, in + at, iv);
        aes_encrypt_block(key, block, out + at);
        std::memcpy(iv, out + at, AES_BLOCK_SIZE);
    }
    return 0;
}

int aes_cbc_decrypt(const aes_key *key, unsigned char iv[AES_BLOCK_SIZE],
                    const unsigned char *in, unsigned char *out, size_t len)
{
    if (!cbc_arguments_ok(in, out, len))
        return -1;
    for (size_t at = 0; at < len; at += AES_BLOCK_SIZE) {
        // The ciphertext block is the next chaining value; it is kept before
        // an in-place call overwrites it.
        unsigned char cipher[AES_BLOCK_SIZE], plain[AES_BLOCK_SIZE];
        std::memcpy(cipher, in + at, AES_BLOCK_SIZE);
        aes_decrypt_block(key, cipher, plain);
        xor_block(out + at, plain, iv);
        std::memcpy(iv, cipher, AES_BLOCK_SIZE);
    }
    return 0;
}
