// Package decryption speed: the table path, the AES-NI path and, in the same run, OpenSSL's
// AES-128-ECB decryption (`openssl speed`), with the ratio AES-NI / OpenSSL.
//   build/bench/bench/aes_bench [seconds per measurement, default 2]
#include "package/aes_decrypt.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The same buffer size as OpenSSL's largest block, so both sides pay the same per-call cost.
constexpr size_t kBufferBytes = 16384;

// Decrypts the buffer over and over for `seconds`; bytes per second.
double Measure(AesPath path, double seconds)
{
    const unsigned char key[16] = {0x95, 0x2f, 0xed, 0x91, 0x42, 0xdf, 0xac, 0xa5,
                                   0xe3, 0x55, 0xba, 0x3f, 0x35, 0xc0, 0xbe, 0x3d};
    AesDecryptContext context;
    AesSetDecryptKey(&context, key);
    if (!AesSelectPath(&context, path))
        return 0;
    std::vector<unsigned char> buffer(kBufferBytes);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<unsigned char>(i * 31 + 7);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double elapsed = 0;
    size_t rounds = 0;
    do {
        for (int i = 0; i < 64; ++i)
            AesDecryptBlocks(&context, buffer.data(), kBufferBytes / 16);
        rounds += 64;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    volatile unsigned char sink = buffer[0];  // keep the work observable
    (void)sink;
    return static_cast<double>(rounds * kBufferBytes) / elapsed;
}

// OpenSSL's figure for 16384-byte blocks in bytes per second, or 0 when openssl is missing.
double MeasureOpenSsl(double seconds)
{
    std::string command = "openssl speed -mr -elapsed -seconds " + std::to_string(static_cast<int>(seconds)) +
                          " -evp aes-128-ecb -decrypt 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return 0;
    char line[1024];
    double figure = 0;
    while (fgets(line, sizeof line, pipe)) {
        // "+F:<n>:AES-128-ECB:<16>:<64>:<256>:<1024>:<8192>:<16384>" in bytes per second
        if (strncmp(line, "+F:", 3) == 0) {
            const char* last = strrchr(line, ':');
            if (last)
                figure = strtod(last + 1, nullptr);
        }
    }
    pclose(pipe);
    return figure;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? atof(argv[1]) : 2.0;
    if (seconds < 1)
        seconds = 1;

    const double tables = Measure(AesPath::Tables, seconds);
    printf("tables        %9.1f MB/s\n", tables / 1e6);

    const bool haveInstructions = AesPathAvailable(AesPath::Instructions);
    const double instructions = haveInstructions ? Measure(AesPath::Instructions, seconds) : 0;
    if (haveInstructions)
        printf("AES-NI        %9.1f MB/s\n", instructions / 1e6);
    else
        printf("AES-NI        not available on this CPU\n");

    const double openssl = MeasureOpenSsl(seconds);
    if (openssl <= 0) {
        printf("openssl       not available\n");
        return 0;
    }
    printf("openssl       %9.1f MB/s  (speed -evp aes-128-ecb -decrypt, 16384-byte blocks)\n", openssl / 1e6);
    if (haveInstructions)
        printf("AES-NI / OpenSSL  %.2f\n", instructions / openssl);
    printf("tables / OpenSSL  %.2f\n", tables / openssl);
    return 0;
}
