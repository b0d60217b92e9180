#pragma once
// A WinINet session whose waits end.
//
// A synchronous WinINet call can block for ever on a server that accepts the connection and then
// says nothing: under Wine the receive time-outs do not apply to synchronous reads, and closing
// the handle from another thread does not wake a blocked call. So the session runs in WinINet's
// asynchronous mode and waits for each call in short slices: between slices it looks at the
// caller's cancel flag, and it gives up when the call's time-out has passed. A call that was
// given up is left to WinINet; the session closes its handles and ignores whatever the call
// reports afterwards.

#include "net/internet_handle.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>

enum class WaitOutcome {
    Done,       // the call succeeded
    Failed,     // WinINet reported a failure
    TimedOut,   // nothing came within the time-out; the call was given up
    Cancelled,  // the cancel flag was set while waiting; the call was given up
};

class AsyncInternetSession {
public:
    // `cancelRequested` is polled while waiting; it must outlive the session.
    explicit AsyncInternetSession(const std::atomic<uint8_t>& cancelRequested);
    ~AsyncInternetSession();
    AsyncInternetSession(const AsyncInternetSession&) = delete;
    AsyncInternetSession& operator=(const AsyncInternetSession&) = delete;

    // InternetOpenA in asynchronous mode with no proxy or bypass list given. False on failure.
    bool Open(const char* agent, DWORD accessType);

    // Opens an http or https URL and waits until the response headers have come, at most
    // `timeoutMs` (name resolution, connection, TLS, request and the answer's first bytes).
    WaitOutcome OpenUrl(const char* url, const char* headers, DWORD headersLength, DWORD flags,
                        DWORD timeoutMs);

    // Fills `block` with the next `size` bytes of the body; fewer only when the body ends, zero at
    // its end. Each wait for more data may last `idleMs`, so a slow server that keeps sending
    // passes, while one that falls silent for that long fails the read.
    WaitOutcome ReadBlock(char* block, DWORD size, DWORD* got, DWORD idleMs);

    // Takes what has come of the body, up to `size` bytes, waiting at most `waitMs` for the
    // first of them; zero at its end. For a caller that keeps a deadline of its own: a body that
    // trickles in would keep ReadBlock waiting for as long as the server likes.
    WaitOutcome ReadSome(char* block, DWORD size, DWORD* got, DWORD waitMs);

    // The Content-Length of the opened URL, read as text into 64 bits (a body may pass 4 GiB);
    // false when the response has none or it is no decimal number.
    bool QueryContentLength(uint64_t* length) const;

    // The response's status code (200, 206...); false when there is none.
    bool QueryStatusCode(DWORD* status) const;

    // A response header as text (HTTP_QUERY_CONTENT_LENGTH, HTTP_QUERY_CONTENT_RANGE...); false,
    // with `text` empty, when the response has none or it does not fit.
    bool QueryHeaderText(DWORD query, char* text, DWORD size) const;

    // Closes the URL handle, then the session handle. Safe to call more than once.
    void Close();

private:
    void Arm();
    WaitOutcome Wait(DWORD timeoutMs);
    WaitOutcome Read(char* block, DWORD size, DWORD* got, DWORD waitMs, bool fill);
    static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                  DWORD infoLength);

    const std::atomic<uint8_t>& cancelRequested_;
    const DWORD_PTR context_;   // identifies this session to the status callback; never 0
    HANDLE completed_;          // set by the status callback when a pending call completes
    // Written by the status callback under the registry's lock.
    bool done_ = false;
    DWORD_PTR result_ = 0;
    DWORD error_ = 0;

    AsyncInternetSession* nextLive_ = nullptr;  // the registry of live sessions (see .cpp)

    UniqueInternet internet_;
    UniqueInternet request_;
};
