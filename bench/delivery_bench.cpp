// Delivery speed under Wine, with the installer's own code against the local test server
// (bench/delivery_bench.sh starts the server and makes the package).
//
//   delivery_bench download URL SIZE SHA256 [rounds]
//       DownloadFile of URL into a scratch folder, plain and pinned (hashed while the bytes
//       arrive) in turn, `rounds` times each (default 3): the fastest and the median of each and
//       the pinned download's cost.
#include "common/fixed_string.h"
#include "common/hex_text.h"
#include "common/sha256.h"
#include "net/download.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The progress posts of a download without a window land in this thread's queue.
void DrainQueue()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

struct Figures {
    double best = 0, median = 0;
};

Figures Summary(std::vector<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

int Download(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    const char* url = argv[2];
    DownloadPin pin;
    pin.size = strtoull(argv[3], nullptr, 10);
    if (!DecodeHex(argv[4], pin.sha256, sizeof pin.sha256)) {
        fprintf(stderr, "delivery_bench: no SHA-256: %s\n", argv[4]);
        return 2;
    }
    const int rounds = argc > 5 ? atoi(argv[5]) : 3;

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    InstallJob job;
    FormatString(job.installDir, "%svellora-delivery-bench\\", temp);
    CreateDirectoryA(job.installDir, nullptr);

    std::vector<double> plain, pinned;
    for (int round = 0; round < rounds; ++round) {
        for (const bool withPin : {false, true}) {
            DownloadOptions options;
            options.quiet = true;
            options.pin = withPin ? &pin : nullptr;
            char path[kPathSize] = {};
            const double start = Now();
            const int result = DownloadFile("bench.bin", job, url, path, options);
            const double seconds = Now() - start;
            DrainQueue();
            DeleteFileA(path);
            if (result != 0) {
                fprintf(stderr, "delivery_bench: the %s download failed: %s\n", withPin ? "pinned" : "plain",
                        job.message);
                return 1;
            }
            (withPin ? pinned : plain).push_back(seconds);
        }
    }
    RemoveDirectoryA(job.installDir);

    // The hash's own cost, for the same number of bytes (it runs on a thread beside the reads).
    std::vector<unsigned char> block(1 << 20, 0x5a);
    Sha256 hash;
    const double hashStart = Now();
    for (uint64_t done = 0; done < pin.size; done += block.size())
        hash.Update(block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), pin.size - done)));
    uint8_t digest[kSha256Size];
    hash.Final(digest);
    const double hashSeconds = Now() - hashStart;

    const double megabytes = static_cast<double>(pin.size) / 1e6;
    const Figures p = Summary(plain), h = Summary(pinned);
    printf("download of %.1f MB from %s, %d rounds, %s build\n", megabytes, url, rounds,
           sizeof(void*) == 8 ? "x86_64" : "i686");
    printf("  %-30s %8s %8s %10s\n", "", "best s", "median s", "median MB/s");
    printf("  %-30s %8.2f %8.2f %10.1f\n", "plain", p.best, p.median, megabytes / p.median);
    printf("  %-30s %8.2f %8.2f %10.1f\n", "pinned (SHA-256 as it arrives)", h.best, h.median, megabytes / h.median);
    printf("  pinned / plain: %.3f (best), %.3f (median); target: at most 1.05\n", h.best / p.best,
           h.median / p.median);
    printf("  SHA-256 of as many bytes alone: %.2f s (%.0f MB/s, %s)\n", hashSeconds, megabytes / hashSeconds,
           CpuHasShaInstructions() ? "SHA instructions" : "portable code");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "download") == 0)
        return Download(argc, argv);
    fprintf(stderr, "usage: delivery_bench download URL SIZE SHA256 [rounds]\n");
    return 2;
}
