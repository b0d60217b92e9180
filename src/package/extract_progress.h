#pragma once
// The extraction's progress, 25 to 100, as the entries go out.
//
// The content is read, decrypted and written as files a chunk at a time, so reading and writing
// no longer follow each other: they share the bar side by side, each with the share it always
// had. 25 is posted once the intermediate file has passed its length check. Then reading and
// decrypting earn 25 points in proportion to the entries' bytes, and writing the files 50 points
// in proportion to the entries (written or skipped); the bar shows the sum, below 100 until the
// last entry is out, and 100 comes after. A package of one large file moves the bar through its
// bytes, one of many small files through its entries. Each value is posted at most once and
// never goes back; a post for bytes pauses 20 ms, as the reading always did, and a post for an
// entry 10 ms, as the writing did.
#include "common/progress_sink.h"

#include <cstddef>
#include <cstdint>

// Where the writing of an entry counts its bytes as they go out.
class EntryBytes {
public:
    virtual void Bytes(uint32_t bytes) = 0;

protected:
    ~EntryBytes() = default;
};

class ExtractionProgress final : public EntryBytes {
public:
    explicit ExtractionProgress(ProgressSink& sink) : sink_(sink) {}

    // The intermediate file passed its length check: posts 25.
    void Start();
    // What the entries hold: their number and their bytes in all.
    void Plan(size_t entries, uint64_t bytes);
    // `bytes` more of the current entry were read, decrypted and written.
    void Bytes(uint32_t bytes) override;
    // The current entry is done, all `size` bytes of it (written, or skipped unread).
    void EntryDone(uint32_t size);
    // Entries written side by side (entry_pool.h), told by the one thread that posts: `entries` are
    // done, holding `doneBytes`, and `partBytes` more of those under way are out.
    void Reached(size_t entries, uint64_t doneBytes, uint64_t partBytes);
    // Every entry is out: posts 100.
    void Finish();

private:
    void Offer(unsigned pauseMs);

    ProgressSink& sink_;
    size_t entries_ = 0;
    uint64_t bytes_ = 0;
    size_t entriesDone_ = 0;
    uint64_t bytesDone_ = 0;
    uint64_t bytesBeforeEntry_ = 0;
    unsigned last_ = 25;
};
