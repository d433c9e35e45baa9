// RC4: a permutation of the 256 byte values, shuffled by the key, then
// advanced once per byte of keystream.
#include "crypt/rc4.h"

int rc4_init(rc4_ctx *ctx, const unsigned char *key, size_t key_len)
{
    if (!key || key_len == 0 || key_len > RC4_MAX_KEY_SIZE)
        return -1;
    for (int n = 0; n < 256; n++)
        ctx->S[n] = static_cast<unsigned char>(n);
    unsigned char j = 0;
    for (int n = 0; n < 256; n++) {
        j = static_cast<unsigned char>(j + ctx->S[n] + key[n % key_len]);
        unsigned char t = ctx->S[n];
        ctx->S[n] = ctx->S[j];
        ctx->S[j] = t;
    }
    ctx->i = 0;
    ctx->j = 0;
    return 0;
}

int rc4_crypt(rc4_ctx *ctx, const unsigned char *in, unsigned char *out, size_t len)
{
    if (len == 0)
        return 0;
    if (!in || !out)
        return -1;
    unsigned char i = ctx->i, j = ctx->j;
    for (size_t n = 0; n < len; n++) {
        i = static_cast<unsigned char>(i + 1);
        j = static_cast<unsigned char>(j + ctx->S[i]);
        unsigned char t = ctx->S[i];
        ctx->S[i] = ctx->S[j];
        ctx->S[j] = t;
        out[n] = in[n] ^ ctx->S[static_cast<unsigned char>(ctx->S[i] + ctx->S[j])];
    }
    ctx->i = i;
    ctx->j = j;
    return 0;
}
