// Delivery speed under Wine, with the installer's own code against the local test server
// (bench/delivery_bench.sh starts the server and makes the package).
//
//   delivery_bench download URL SIZE SHA256 [rounds]
//       DownloadFile of URL into a scratch folder, plain and pinned (hashed while the bytes
//       arrive) in turn, `rounds` times each (default 3): the fastest and the median of each and
//       the pinned download's cost.
//   delivery_bench fetch URL
//       one plain DownloadFile of URL: "<seconds> <peak MB>"
//   delivery_bench decode PACKAGE FOLDER
//       the extraction's first step alone: DecodeLzmaFile of PACKAGE (either encoding) into the
//       intermediate file in FOLDER; then the rest of the extraction alone (ExtractPackage of that
//       intermediate file into FOLDER, with the window's pauses): "<decoding s> <the rest s> <peak
//       MB>". FOLDER is left with the game's files.
//   delivery_bench job LIST_URL FOLDER SPECULATIVE
//       the whole installation job (RunInstallJob, as the window starts it) of the update list at
//       LIST_URL into FOLDER, with (1) or without (0) speculative decoding, from its start to
//       status 7; then closes the game it started and removes what it installed:
//       "<seconds to status 7> <seconds to the end of the download> <seconds from the extraction's
//       50 % to its 100 %> <peak MB>"
//   delivery_bench resume URL KILL_URL SIZE SHA256
//       a pinned DownloadFile of URL whole; then one of KILL_URL (a paced address of the same file)
//       in a child process that is killed once half the file is in; then the pinned download of
//       URL again, which carries on from the half that was kept:
//       "<seconds whole> <bytes kept> <seconds resumed> <bytes fetched by the resumed run>"
//   delivery_bench pinned URL SIZE SHA256 FOLDER
//       the child of resume: a pinned DownloadFile of URL into FOLDER\bench.bin
// VELLORA_ENTRY_WRITERS=0 in the environment makes the extraction write every file on one thread.
#include "common/fixed_string.h"
#include "common/number_text.h"
#include "common/sha256.h"
#include "install/decode_during_download.h"
#include "net/download.h"
#include "package/entry_pool.h"
#include "package/extract.h"
#include "package/lzma_step.h"

#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

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
    if (!DecodeHex(argv[4], strlen(argv[4]), pin.sha256, sizeof pin.sha256)) {
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

bool ReadPin(const char* size, const char* sha256, DownloadPin* pin)
{
    pin->size = strtoull(size, nullptr, 10);
    return DecodeHex(sha256, strlen(sha256), pin->sha256, sizeof pin->sha256);
}

// A pinned download of `url` into `folder`\bench.bin, timed; -1 when it failed.
double PinnedDownload(const char* url, const DownloadPin& pin, const char* folder)
{
    InstallJob job;
    CopyString(job.installDir, folder);
    DownloadOptions options;
    options.quiet = true;
    options.pin = &pin;
    char path[kPathSize] = {};
    const double start = Now();
    const int result = DownloadFile("bench.bin", job, url, path, options);
    const double seconds = Now() - start;
    DrainQueue();
    if (result != 0)
        fprintf(stderr, "delivery_bench: the pinned download failed: %s\n", job.message);
    return result == 0 ? seconds : -1;
}

uint64_t FileBytes(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

int Resume(int argc, char** argv)
{
    DownloadPin pin;
    if (argc != 6 || !ReadPin(argv[4], argv[5], &pin))
        return 2;
    char temp[MAX_PATH], folder[MAX_PATH], file[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    FormatString(folder, "%svellora-resume-bench\\", temp);
    FormatString(file, "%sbench.bin", folder);
    CreateDirectoryA(folder, nullptr);
    DeleteFileA(file);

    const double whole = PinnedDownload(argv[2], pin, folder);
    DeleteFileA(file);

    // The run that is killed: a process of its own, ended with TerminateProcess as by a crash.
    char self[MAX_PATH], command[4 * MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    FormatString(command, "\"%s\" pinned %s %s %s %s", self, argv[3], argv[4], argv[5], folder);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    if (whole < 0 || !CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return 1;
    while (FileBytes(file) < pin.size / 2 && WaitForSingleObject(child.hProcess, 5) == WAIT_TIMEOUT) {
    }
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    const uint64_t kept = FileBytes(file);

    const double resumed = PinnedDownload(argv[2], pin, folder);
    DeleteFileA(file);
    RemoveDirectoryA(folder);
    if (resumed < 0)
        return 1;
    printf("%.2f %llu %.2f %llu\n", whole, static_cast<unsigned long long>(kept), resumed,
           static_cast<unsigned long long>(pin.size - kept));
    return 0;
}

double PeakMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / 1e6;
}

int Fetch(const char* url)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    InstallJob job;
    CopyString(job.installDir, temp);
    char path[kPathSize] = {};
    DownloadOptions options;
    options.quiet = true;
    const double start = Now();
    const int result = DownloadFile("vellora-delivery-bench.bin", job, url, path, options);
    const double seconds = Now() - start;
    DeleteFileA(path);
    if (result != 0)
        return 1;
    printf("%.2f %.0f\n", seconds, PeakMegabytes());
    return 0;
}

// The window's progress sink but for the posts: its pauses, on the extraction's thread.
struct PausingSink final : ProgressSink {
    void Post(unsigned) override {}
    void Pause(unsigned milliseconds) override { Sleep(milliseconds); }
};

int Decode(const char* package, const char* folder)
{
    char installDir[MAX_PATH], intermediate[MAX_PATH];
    FormatString(installDir, "%s\\", folder);
    FormatString(intermediate, "%sgame_.rar", installDir);
    CreateDirectoryA(folder, nullptr);
    const double start = Now();
    char message[kLzmaMessageSize];
    const int result = DecodeLzmaFile(package, intermediate, message);
    const double decoded = Now();
    if (result != 0) {
        fprintf(stderr, "delivery_bench: the decoding failed:%s", message);
        return 1;
    }
    PausingSink pauses;
    if (ExtractPackage(pauses, "game.pak", installDir, true) != 0) {
        fprintf(stderr, "delivery_bench: the extraction failed\n");
        return 1;
    }
    printf("%.2f %.2f %.0f\n", decoded - start, Now() - decoded, PeakMegabytes());
    return 0;
}

// The job's window: a message-only window that notes when the statuses come.
int g_status = -1;
double g_start = 0, g_downloaded = 0, g_complete = 0;
double g_writing = 0, g_written = 0;  // the extraction's file writing: from its 50 % to its 100 %
LRESULT CALLBACK JobWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INSTALL_PROGRESS && g_downloaded != 0) {
        if (lParam == 50 && g_writing == 0)
            g_writing = Now();
        if (lParam == 100 && g_written == 0)
            g_written = Now();
    }
    if (message == WM_INSTALL_STATUS) {
        g_status = static_cast<int>(lParam);
        if (g_status == STATUS_INSTALLING && g_downloaded == 0)
            g_downloaded = Now() - g_start;  // the package is in: the extraction begins
        if (g_status == STATUS_COMPLETE)
            g_complete = Now() - g_start;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// What the job registered and made, and the game it started, go again.
void Uninstall(const InstallJob& job)
{
    if (HWND game = FindWindowA(nullptr, job.productTitle))
        SendMessageTimeoutA(game, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 10000, nullptr);
    char key[MAX_PATH], path[MAX_PATH];
    FormatString(key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", job.gameName);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder);
    FormatString(path, "%s\\game.lnk", folder);
    DeleteFileA(path);
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder);
    char group[MAX_PATH];
    FormatString(group, "%s\\%s", folder, job.gameName);
    for (const char* link : {"game.lnk", "game卸载.lnk"}) {
        FormatString(path, "%s\\%s", group, link);
        DeleteFileA(path);
    }
    RemoveDirectoryA(group);
}

int Job(const char* listUrl, const char* folder, bool speculative)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = JobWindow;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VelloraDeliveryBench";
    RegisterClassA(&windowClass);

    InstallJob job;
    job.window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    FormatString(job.installDir, "%s\\", folder);
    CreateDirectoryA(job.installDir, nullptr);
    CopyString(job.gameName, "VelloraDeliveryBench");
    CopyString(job.exeFileName, "game.exe");
    CopyString(job.productTitle, "VelloraDeliveryBench");
    CopyString(job.uninstallerName, "uninstall.exe");
    // The job reads the configuration from the bytes the window fetched.
    char config[kConfigValueSize + 32];
    FormatString(config, "[config]\r\n1.0=%s\r\n", listUrl);
    if (!job.configText.Assign(config, strlen(config))) {
        fprintf(stderr, "delivery_bench: the configuration does not fit\n");
        return 1;
    }
    SetSpeculativeDecoding(speculative);

    g_start = Now();
    HANDLE thread = CreateThread(nullptr, 0, InstallJobThread, &job, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    CloseHandle(thread);
    Uninstall(job);
    if (g_complete == 0) {
        fprintf(stderr, "delivery_bench: the job ended with status %d: %s\n", g_status, job.message);
        return 1;
    }
    printf("%.2f %.2f %.2f %.0f\n", g_complete, g_downloaded, g_written - g_writing, PeakMegabytes());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // The extraction's writer threads (entry_pool.h): VELLORA_ENTRY_WRITERS=0 writes on one thread.
    if (const char* threads = getenv("VELLORA_ENTRY_WRITERS"))
        SetEntryWriterThreads(static_cast<unsigned>(atoi(threads)));
    if (argc >= 2 && strcmp(argv[1], "download") == 0)
        return Download(argc, argv);
    if (argc == 3 && strcmp(argv[1], "fetch") == 0)
        return Fetch(argv[2]);
    if (argc == 4 && strcmp(argv[1], "decode") == 0)
        return Decode(argv[2], argv[3]);
    if (argc == 5 && strcmp(argv[1], "job") == 0)
        return Job(argv[2], argv[3], strcmp(argv[4], "1") == 0);
    if (argc >= 2 && strcmp(argv[1], "resume") == 0)
        return Resume(argc, argv);
    if (argc == 6 && strcmp(argv[1], "pinned") == 0) {
        DownloadPin pin;
        return ReadPin(argv[3], argv[4], &pin) && PinnedDownload(argv[2], pin, argv[5]) >= 0 ? 0 : 1;
    }
    fprintf(stderr, "usage: delivery_bench download URL SIZE SHA256 [rounds]\n"
                    "       delivery_bench fetch URL\n"
                    "       delivery_bench decode PACKAGE FOLDER\n"
                    "       delivery_bench job LIST_URL FOLDER 0|1\n"
                    "       delivery_bench resume URL KILL_URL SIZE SHA256\n");
    return 2;
}
