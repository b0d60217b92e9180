#pragma once
// Where a pinned download reconnects, when, and when it gives up.
//
// A package of gigabytes takes minutes to an hour to download: long enough to meet a Wi-Fi that
// drops, a router that restarts, a server that is replaced or a CDN that fails for good. Three
// quick tries do not ride that out, and one address cannot stand in for a server that is gone.
// The pin makes every copy of the file equally safe (the hash runs across every address and every
// break, so a bad copy costs time, never correctness), so a pinned download may take its bytes from
// any address the list names and carry on wherever it broke off. What it must not do is give up
// during a short outage, hammer a server that is down, or wait for ever:
//   - the addresses are tried in the list's order, srcfile first; one that fails is left for the
//     next at once, at the byte reached;
//   - once every address has failed since the last byte came, the download waits before it goes
//     round again: retryMs, then twice as long each time, up to retryLimitMs;
//   - an address that answers with something other than the pinned file (another length, an
//     error status that waiting will not change, a broken Range) is not asked again in this run;
//   - it gives up when no byte has come for outageMs in all, or when no address is left. Any byte
//     that arrives gives it the whole allowance again.
// The plan is arithmetic on the times it is given (GetTickCount values), nothing more, so that a
// test can walk through an outage of minutes in no time.
#include "net/download.h"

#include <windows.h>

enum class AddressFailure {
    Broken,   // no answer, a body that broke off or stalled, a server error: it may pass
    Refused,  // an answer that is not the pinned file: it will not pass
};

enum class NextTry {
    Now,        // try address() at once
    AfterWait,  // wait the time given, then try address()
    GiveUp,     // no byte for the whole allowance, or no address left
};

class ReconnectPlan {
public:
    // `addresses` (1 to 1 + kMaxMirrors) in the list's order; the allowance starts at `now`.
    ReconnectPlan(int addresses, const DownloadTimeouts& timeouts, DWORD now);

    // The address to try.
    int address() const { return current_; }

    // Bytes came: the allowance and the waits start again.
    void Progress(DWORD now);

    // The current address failed; the next one left becomes current.
    void Failed(AddressFailure failure);

    // Not to be asked again in this run (it served bytes that failed the pin).
    void Refuse(int address);

    // What to do after a failure: `*waitMs` is set for AfterWait (never past the allowance).
    NextTry Next(DWORD now, DWORD* waitMs);

    // The time that is left of the allowance at `now`, 0 once it has passed: the longest a
    // connection may take to answer.
    DWORD AllowanceLeft(DWORD now) const;

    // True when some address may still be asked.
    bool AnyLeft() const { return usable_ > 0; }

    // True when every other address still to be asked has failed since the last byte came: the
    // current one is the only hope, even if it can only start again from the first byte.
    bool OthersFailed() const { return failedSinceProgress_ >= usable_ - 1; }

private:
    void MoveOn();

    const int count_;
    const DownloadTimeouts timeouts_;
    bool refused_[1 + kMaxMirrors] = {};
    int usable_;
    int current_ = 0;
    DWORD lastProgress_;
    DWORD nextWaitMs_;
    int failedSinceProgress_ = 0;  // failures since the last byte
    int failedThisRound_ = 0;      // failures since the last byte or the last wait
};
