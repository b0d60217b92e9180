#pragma once
// The record that the installer window fills and the installation job's worker thread reads.
// It lives inside the window object for the whole run.
//
// Sharing rules: the window writes every field but `thread` before it starts the worker, `thread`
// right after, and afterwards only `cancelRequested`. The job and the steps it calls write only
// `message`.

#include "common/profile_text.h"
#include "install/install_messages.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

constexpr size_t kPathSize = 260;        // 259 characters and the terminator
constexpr size_t kMessageSize = 261;     // the job's error text
constexpr size_t kConfigValueSize = 999; // values of the configuration's [config] section

struct InstallJob {
    HWND window = nullptr;     // receives every posted message, owns every box of the job
    HANDLE thread = nullptr;   // the worker thread (set by the window)
    char installDir[kPathSize] = {};   // ends with a backslash when chosen in the window
    char message[kMessageSize] = {};   // text of the last error
    // Non-zero when the user asked to stop. One byte, written by the window thread and polled by
    // the worker at its check points; atomic so that the poll always sees the write.
    std::atomic<uint8_t> cancelRequested{0};

    // Values of the remote configuration's [setup] section.
    char gameName[kPathSize] = {};
    char productTitle[kPathSize] = {};
    int32_t requiredKb = 0;             // size (MiB) * 1024
    char agreementUrl[kPathSize] = {};
    char uninstallerName[kPathSize] = {};
    char publisher[kPathSize] = {};
    char contact[kPathSize] = {};
    char exeFileName[kPathSize] = {};

    // The configuration's bytes as they were fetched (and, with publisher keys, checked): the job
    // reads [config] from these. They are never written to a file.
    ProfileText configText;
};

// The installation, run on the worker thread from start to end: the update list named by the
// configuration's [config] section, the download it lists, and for the command "DEC" the
// extraction, the uninstall entry and shortcuts, the uninstall file and the start of the game.
// Reports only by posting WM_INSTALL_PROGRESS / WM_INSTALL_STATUS to `job.window` and by "错误"
// boxes owned by it; every failure ends with status 0, a run without failure with status 6.
void RunInstallJob(InstallJob& job);

// Thread entry for CreateThread: `parameter` is the InstallJob. Returns 0.
DWORD WINAPI InstallJobThread(LPVOID parameter);
