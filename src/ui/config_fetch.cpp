#include "ui/config_addresses.h"

#include "common/fixed_string.h"
#include "install/config_files.h"
#include "net/download.h"

namespace {
// Slots already tried in this process. Window thread only.
int g_slotsTried = 0;
}  // namespace

bool FetchConfiguration(InstallJob& job)
{
    for (int attempt = 0; attempt < kConfigSlots; ++attempt) {
        if (g_slotsTried >= kConfigSlots)
            continue;
        const char* address = kConfigAddresses[g_slotsTried++];
        if (address[0] == '\0')
            continue;  // no address in this slot: nothing to fetch
        char localPath[kPathSize] = {};
        // job.window is still null: the download's progress and status messages reach no window.
        if (DownloadFile(nullptr, job, address, localPath, true) != 0)
            continue;
        CopyString(job.configPath, localPath);
        // A file without a valid size is left where it is, and the next slot is tried.
        if (ReadSetupSection(job.configPath, job))
            return true;
    }
    return false;
}

void ResetConfigSlotCounter() { g_slotsTried = 0; }
