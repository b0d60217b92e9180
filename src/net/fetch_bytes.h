#pragma once
// A small file straight into memory: a signature beside a downloaded file.
//
// The same request as DownloadFile (headers, flags, time-outs, cancel), but silent: nothing is
// posted to the window, no box is shown and nothing is written to disk. The caller decides what
// a failure means.
#include "install/install_job.h"
#include "net/download.h"

#include <cstddef>

// Fetches `url` into `buffer`. False when it cannot be fetched, is cancelled, or holds more than
// `capacity` bytes; `*size` receives the number of bytes on success.
bool FetchBytes(InstallJob& job, const char* url, const DownloadTimeouts& timeouts, unsigned char* buffer,
                size_t capacity, size_t* size);
