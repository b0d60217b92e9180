// The installer's entry point.
#include "app/dll_search.h"
#include "app/message_loop.h"
#include "app/single_instance.h"
#include "install/publisher_trust.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Before anything else can load a DLL.
    HardenDllSearch();
    PreloadLateSystemDlls();

    // The keys built into this executable, if any (INSTALLER_PUBLISHER_KEYS; checked at build).
    UsePublisherKeys(kPublisherKeys, kPublisherGame);

    UniqueHandle mutex;
    if (!TakeSingleInstanceMutex(mutex))
        return 0;
    mutex.release();  // held until the process ends

    return RunInstallerWindow(instance);
}
