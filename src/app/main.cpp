// The installer's entry point.
#include "app/dll_search.h"
#include "app/message_loop.h"
#include "app/single_instance.h"
#include "common/message_box.h"
#include "install/publisher_trust.h"

#include <windows.h>

namespace {
// Exit code of an installer whose built-in publisher keys cannot be used.
constexpr int kExitBrokenKeys = 1;

// The tests' installers can be told to behave as on a system without SetDefaultDllDirectories;
// the shipping installer has no such switch.
bool DllSearchFallbackForced()
{
#ifdef VELLORA_INSTALLER_FOR_TESTS
    return GetEnvironmentVariableA("VELLORA_DLL_SEARCH_FALLBACK", nullptr, 0) != 0;
#else
    return false;
#endif
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Before anything else can load a DLL.
    PreloadLateSystemDlls(HardenDllSearch(DllSearchFallbackForced()));

    // The keys built into this executable, if any (INSTALLER_PUBLISHER_KEYS; checked at build).
    // Keys that cannot be taken must not leave an installer that takes unsigned files.
    if (!UsePublisherKeys(kPublisherKeys, kPublisherGame)) {
        ShowMessageBox(nullptr, "安装程序已损坏，请重新下载。", "错误", MB_OK | MB_ICONERROR);
        return kExitBrokenKeys;
    }

    UniqueHandle mutex;
    if (!TakeSingleInstanceMutex(mutex))
        return 0;
    mutex.release();  // held until the process ends

    return RunInstallerWindow(instance);
}
