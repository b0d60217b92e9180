// ExtractionProgress: reading's 25 points by bytes and writing's 50 points by entries, summed.
#include "package/extract_progress.h"

namespace {

constexpr unsigned kStart = 25;
constexpr unsigned kReadShare = 25;
constexpr unsigned kWriteShare = 50;
constexpr unsigned kLastBeforeEnd = 99;
constexpr unsigned kReadPauseMs = 20;
constexpr unsigned kWritePauseMs = 10;

}  // namespace

void ExtractionProgress::Start() { sink_.Post(kStart); }

void ExtractionProgress::Plan(size_t entries, uint64_t bytes)
{
    entries_ = entries;
    bytes_ = bytes;
}

void ExtractionProgress::Bytes(uint32_t bytes)
{
    bytesDone_ += bytes;
    Offer(kReadPauseMs);
}

void ExtractionProgress::EntryDone(uint32_t size)
{
    bytesBeforeEntry_ += size;
    bytesDone_ = bytesBeforeEntry_;
    ++entriesDone_;
    Offer(kWritePauseMs);
}

void ExtractionProgress::Reached(size_t entries, uint64_t doneBytes, uint64_t partBytes)
{
    const bool entryDone = entries > entriesDone_;
    entriesDone_ = entries;
    bytesBeforeEntry_ = doneBytes;
    bytesDone_ = doneBytes + partBytes;
    Offer(entryDone ? kWritePauseMs : kReadPauseMs);
}

void ExtractionProgress::Finish() { sink_.Post(100); }

void ExtractionProgress::Offer(unsigned pauseMs)
{
    if (entries_ == 0)
        return;
    // In 64 bits: a package's bytes pass 4 GiB only in sum, but 25 times 4 GiB does in any case.
    // Entries without bytes leave the reading's share to the entries.
    const uint64_t read = bytes_ > 0 ? kReadShare * bytesDone_ / bytes_ : kReadShare * uint64_t{entriesDone_} / entries_;
    const uint64_t written = kWriteShare * uint64_t{entriesDone_} / entries_;
    uint64_t percent = kStart + read + written;
    if (percent > kLastBeforeEnd)
        percent = kLastBeforeEnd;
    if (percent <= last_)
        return;
    last_ = static_cast<unsigned>(percent);
    sink_.Post(last_);
    sink_.Pause(pauseMs);
}
