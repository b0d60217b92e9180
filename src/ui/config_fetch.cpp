#include "ui/config_addresses.h"

#include "common/fixed_string.h"
#include "install/config_files.h"
#include "install/publisher_trust.h"
#include "net/fetch_bytes.h"

#include <utility>

namespace {
// Slots already tried in this process. Window thread only.
int g_slotsTried = 0;

// The configuration is fetched before the window shows: the player sees nothing while it runs.
// A server that holds the line in silence is given up after 20 s (for the answer, and for each
// pause inside the body) rather than the 120 s a package's server gets, so three such servers
// cost a minute, not six. 20 s still covers a slow name lookup and two lost connection attempts
// (TCP tries again after 3 s and 6 s more) in front of a file of a few hundred bytes. Shorter
// time-outs set for tests (SetDownloadTimeouts) shorten these too.
constexpr DWORD kConfigLimitMs = 20000;

DownloadTimeouts ConfigTimeouts()
{
    const DownloadTimeouts current = CurrentDownloadTimeouts();
    DownloadTimeouts timeouts = current;
    timeouts.responseMs = current.responseMs < kConfigLimitMs ? current.responseMs : kConfigLimitMs;
    timeouts.idleMs = current.idleMs < kConfigLimitMs ? current.idleMs : kConfigLimitMs;
    return timeouts;
}
}  // namespace

bool FetchConfigurationFrom(InstallJob& job, const char* address)
{
    const DownloadTimeouts timeouts = ConfigTimeouts();
    // One deadline for the address, its signature included: past it the address has failed.
    const FetchDeadline deadline(SmallFileDeadlineMs(timeouts));
    ProfileText text;
    // job.window is still null: the download's progress and status messages reach no window.
    if (DownloadSmallFile(job, address, true, timeouts, deadline, &text) != 0)
        return false;
    // With publisher keys, an unsigned, wrongly signed or expired file counts as a failed fetch,
    // like one without a size: the next slot is tried.
    if (SignedDelivery() && !SignedByPublisher(job, address, SignedRole::Configuration, text, timeouts, deadline))
        return false;
    // A file without a valid size is left where it is, and the next slot is tried.
    if (!ReadSetupSection(text, job))
        return false;
    job.configText = std::move(text);
    return true;
}

bool FetchConfiguration(InstallJob& job)
{
    for (int attempt = 0; attempt < kConfigSlots; ++attempt) {
        if (g_slotsTried >= kConfigSlots)
            continue;
        const char* address = kConfigAddresses[g_slotsTried++];
        if (address[0] == '\0')
            continue;  // no address in this slot: nothing to fetch
        if (FetchConfigurationFrom(job, address))
            return true;
    }
    return false;
}

void ResetConfigSlotCounter() { g_slotsTried = 0; }
