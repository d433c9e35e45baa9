// Cryptography throughput in MB/s: the hashes, RC4, and AES-CBC in both
// directions with 128- and 256-bit keys, over a buffer of 8 MB (the size of
// a large object stream). Best of three runs each. Then the time a password
// check costs in revisions 4 and 6, whose hashes loop on purpose.
#include <cstdio>
#include <functional>
#include <vector>

#include "bench.h"
#include "crypt/aes.h"
#include "crypt/md5.h"
#include "crypt/pdfkey.h"
#include "crypt/rc4.h"
#include "crypt/sha256.h"
#include "crypt/sha512.h"

namespace {

constexpr size_t CRYPT_BENCH_SIZE = 8 << 20;

void report(const char *name, const std::function<void()> &run)
{
    double best = 1e9;
    for (int r = 0; r < 3; r++) {
        double t = bench_now();
        run();
        double d = bench_now() - t;
        best = d < best ? d : best;
    }
    std::printf("  %-22s %8.1f MB/s\n", name, CRYPT_BENCH_SIZE / best / 1e6);
}

}  // namespace

void bench_crypt()
{
    std::printf("crypt: %zu MB per run\n", CRYPT_BENCH_SIZE >> 20);
    std::vector<unsigned char> data(CRYPT_BENCH_SIZE);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    unsigned char digest[64];
    unsigned volatile sink = 0;

    report("MD5", [&] {
        md5_ctx ctx;
        md5_init(&ctx);
        md5_update(&ctx, data.data(), data.size());
        md5_final(&ctx, digest);
        sink = sink + digest[0];
    });
    report("SHA-256", [&] {
        sha256_ctx ctx;
        sha256_init(&ctx);
        sha256_update(&ctx, data.data(), data.size());
        sha256_final(&ctx, digest);
        sink = sink + digest[0];
    });
    report("SHA-512", [&] {
        sha512_ctx ctx;
        sha512_init(&ctx);
        sha512_update(&ctx, data.data(), data.size());
        sha512_final(&ctx, digest);
        sink = sink + digest[0];
    });
    report("RC4 (128-bit key)", [&] {
        rc4_ctx ctx;
        rc4_init(&ctx, data.data(), 16);
        rc4_crypt(&ctx, data.data(), data.data(), data.size());
    });
    for (size_t key_len : {16, 32}) {
        aes_key key;
        aes_key_expand(&key, data.data() + 100, key_len);
        char name[40];
        std::snprintf(name, sizeof name, "AES-%zu-CBC encrypt", key_len * 8);
        report(name, [&] {
            unsigned char iv[16] = {};
            aes_cbc_encrypt(&key, iv, data.data(), data.data(), data.size());
        });
        std::snprintf(name, sizeof name, "AES-%zu-CBC decrypt", key_len * 8);
        report(name, [&] {
            unsigned char iv[16] = {};
            aes_cbc_decrypt(&key, iv, data.data(), data.data(), data.size());
        });
    }

    // A wrong password costs one hash (revision 6) or one key and one /U
    // (revision 4); the right one for revision 6 costs a second hash.
    const unsigned char zeros[48] = {};
    for (int R : {4, 6}) {
        pdfkey_values v{};
        v.R = R;
        v.length_bits = 128;
        v.O = v.U = v.UE = zeros;
        v.O_len = v.U_len = R == 4 ? 32 : 48;
        v.UE_len = 32;
        pdfkey_file_key key;
        int runs = 50;
        double t = bench_now();
        for (int r = 0; r < runs; r++)
            sink = sink + pdfkey_authenticate_user(&v, nullptr, 0, &key);
        std::printf("  revision %d password check %6.2f ms\n", R, (bench_now() - t) / runs * 1e3);
    }
}
