#ifdef _WIN32
#include "support/running_programs.h"

#include "support/test_support.h"

#include <windows.h>
#include <tlhelp32.h>

bool WaitForFile(const std::string& path, int timeoutMs)
{
    for (int waited = 0; !FileExists(path); waited += 50) {
        if (waited >= timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

int EndProgramsAt(const std::string& exePath)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int ended = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                     entry.th32ProcessID);
        if (!process)
            continue;
        char image[MAX_PATH];
        DWORD size = sizeof image;
        if (QueryFullProcessImageNameA(process, 0, image, &size) && lstrcmpiA(image, exePath.c_str()) == 0) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            ++ended;
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}
#endif
