#pragma once
// The built-in addresses of the remote configuration file and how set-up fetches it.
#include "install/install_job.h"

#include <cstddef>

constexpr int kConfigSlots = 3;
constexpr size_t kConfigAddressSize = 128;  // 127 characters and the terminator

// The addresses, tried in slot order; an empty slot holds no address. The table is compiled into
// each executable from the build's INSTALLER_CONFIG_URLS (config_addresses.cpp).
extern const char kConfigAddresses[kConfigSlots][kConfigAddressSize];

// Fetches the configuration quietly into memory (no file is written), slot after slot, and reads
// its [setup] section into `job` (its bytes into job.configText). A file without a valid size counts as a failed fetch. The slots tried are
// counted for the whole process: a slot is never fetched twice, and once all three have been
// tried every later call fails at once. True when a configuration was accepted.
bool FetchConfiguration(InstallJob& job);

// One slot's attempt: the configuration at `address` (and with publisher keys its signature),
// within the size cap and the deadline of a small file (net/fetch_bytes.h). True when accepted.
bool FetchConfigurationFrom(InstallJob& job, const char* address);

// Forgets the slots already tried, so that a test can set up another window in the same process.
void ResetConfigSlotCounter();
