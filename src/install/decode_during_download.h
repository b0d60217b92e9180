#pragma once
// Speculative decoding: the package's LZMA-alone layer decoded on a thread of its own while the
// package downloads, so that the installation can go on the moment the download ends instead of
// decoding the whole file afterwards.
//
// The download hands every block it writes to the package file over (DownloadTap); the decoding
// thread writes the intermediate file under the name the extraction gives it. A bounded queue sits
// between the two: when the network outruns the decoder, the download waits for it, so memory
// stays at the queue plus the decoder's dictionary. The two threads share nothing else but the
// completion record that Finish reads once the thread has ended.
//
// The result counts only when it is certainly right: the decoding finished cleanly, the download
// succeeded (with its pinned hash, where one applies), and the decoder saw exactly as many bytes,
// from the first on, as the package file now holds. Anything else (an error, a cancel, a body
// that started again) throws the decoded output away, and the extraction decodes the package
// itself as it always has.
//
// Nothing it decodes is vouched for until the download has matched its pins, so an installer with
// publisher keys bounds the decoder's memory and output (LzmaLimits): past either it gives up, and
// the extraction decodes the package once its hash has matched.
//
// Nothing is left behind where the decoding is not used. The intermediate file is created with
// the first block of the body, so a download that never starts leaves one from an earlier run as
// it was; a decoding that fails (a full disk above all, where the package itself still fits)
// deletes it at once and lets the download go on; and a download that fails deletes it before the
// window hears of the failure.
#include "common/win_handles.h"
#include "install/install_job.h"
#include "net/block_queue.h"
#include "net/download.h"
#include "package/extract.h"
#include "package/lzma_stream_decoder.h"

#include <windows.h>

#include <cstdint>

// Tests and benchmarks switch speculative decoding off to compare; it is on by default.
void SetSpeculativeDecoding(bool enabled);
// How many times in this process the extraction could take a speculative decoding (tests).
int SpeculativeDecodingsTaken();

class SpeculativeDecode final : public DownloadTap {
public:
    SpeculativeDecode();
    ~SpeculativeDecode();  // abandons a decoding that was not finished
    SpeculativeDecode(const SpeculativeDecode&) = delete;
    SpeculativeDecode& operator=(const SpeculativeDecode&) = delete;

    // Starts decoding into the intermediate file of the package `packageName` below `installDir`,
    // within `limits`. False (and nothing started) when speculative decoding is off or cannot be
    // had here.
    bool Start(const char* installDir, const char* packageName, const LzmaLimits& limits = LzmaLimits());

    void Bytes(const char* data, size_t size) override;
    void Restart() override;
    // After a failed or cancelled download: stops the decoder and deletes the intermediate file,
    // if it made one. Does nothing the second time.
    void Abandon() override;

    // After a successful download: waits for the decoder and tells whether the intermediate file
    // now holds the decoded package `packagePath`.
    bool Finish(const char* packagePath);

private:
    static DWORD WINAPI Run(LPVOID self);
    // Ends the queue (`stop`: at once; otherwise once the decoder has taken every block) and waits
    // for the thread.
    void Join(bool stop);

    PackagePaths paths_ = {};
    LzmaLimits limits_;
    BlockQueue queue_;
    UniqueHandle thread_;
    bool given_up_ = false;   // the download's thread alone
    uint64_t fed_ = 0;        // bytes handed over, ditto
    // The completion record, written by the decoding thread before it ends.
    bool decoded_ = false;
    bool created_ = false;      // it created the intermediate file (and has not deleted it)
    uint64_t decodedFrom_ = 0;  // bytes it took from the queue
};
