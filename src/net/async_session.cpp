#include "net/async_session.h"

#include "common/number_text.h"

#include <mutex>

namespace {

// How often a wait looks at the cancel flag.
constexpr DWORD kPollMs = 50;

// Live sessions, by context value. WinINet may report a call that was given up long after its
// session has gone (when the stalled connection finally ends), so the status callback never
// trusts its context as a pointer: it looks the value up here, under the lock, and a session
// leaves the list before it is destroyed.
std::mutex g_registryLock;
AsyncInternetSession* g_liveSessions = nullptr;
std::atomic<DWORD_PTR> g_nextContext{1};

bool IsHttpUrl(const char* url)
{
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    if (!WinInet()->CrackUrlA(url, 0, 0, &parts))
        return false;
    return parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS;
}

}  // namespace

AsyncInternetSession::AsyncInternetSession(const std::atomic<uint8_t>& cancelRequested)
    : cancelRequested_(cancelRequested),
      context_(g_nextContext.fetch_add(1)),
      completed_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    std::lock_guard<std::mutex> hold(g_registryLock);
    nextLive_ = g_liveSessions;
    g_liveSessions = this;
}

AsyncInternetSession::~AsyncInternetSession()
{
    Close();
    {
        std::lock_guard<std::mutex> hold(g_registryLock);
        for (AsyncInternetSession** link = &g_liveSessions; *link; link = &(*link)->nextLive_) {
            if (*link == this) {
                *link = nextLive_;
                break;
            }
        }
    }
    if (completed_)
        CloseHandle(completed_);
}

void CALLBACK AsyncInternetSession::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                             DWORD infoLength)
{
    if (status != INTERNET_STATUS_REQUEST_COMPLETE || !info || infoLength < sizeof(INTERNET_ASYNC_RESULT))
        return;
    const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    std::lock_guard<std::mutex> hold(g_registryLock);
    for (AsyncInternetSession* session = g_liveSessions; session; session = session->nextLive_) {
        if (session->context_ == context) {
            session->done_ = true;
            session->result_ = outcome->dwResult;
            session->error_ = outcome->dwError;
            SetEvent(session->completed_);
            return;
        }
    }
}

bool AsyncInternetSession::Open(const char* agent, DWORD accessType)
{
    if (!completed_ || !WinInet())
        return false;
    internet_.reset(WinInet()->OpenA(agent, accessType, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!internet_)
        return false;
    if (WinInet()->SetStatusCallbackA(internet_.get(), OnStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
        internet_.reset();
        return false;
    }
    return true;
}

void AsyncInternetSession::Arm()
{
    std::lock_guard<std::mutex> hold(g_registryLock);
    done_ = false;
    result_ = 0;
    error_ = 0;
    ResetEvent(completed_);
}

WaitOutcome AsyncInternetSession::Wait(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD slice = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        if (slice > kPollMs)
            slice = kPollMs;
        if (WaitForSingleObject(completed_, slice) == WAIT_OBJECT_0) {
            std::lock_guard<std::mutex> hold(g_registryLock);
            return done_ && result_ != 0 ? WaitOutcome::Done : WaitOutcome::Failed;
        }
        if (cancelRequested_.load() != 0)
            return WaitOutcome::Cancelled;
        if (GetTickCount() - start >= timeoutMs)
            return WaitOutcome::TimedOut;
    }
}

WaitOutcome AsyncInternetSession::OpenUrl(const char* url, const char* headers, DWORD headersLength,
                                          DWORD flags, DWORD timeoutMs)
{
    // In asynchronous mode a URL that WinINet cannot take apart is never reported as failed; it
    // would only end with the time-out. Refuse it at once, as a synchronous open would.
    if (!internet_ || !IsHttpUrl(url))
        return WaitOutcome::Failed;
    Arm();
    HINTERNET opened = WinInet()->OpenUrlA(internet_.get(), url, headers, headersLength, flags, context_);
    if (opened) {
        request_.reset(opened);
        return WaitOutcome::Done;
    }
    if (GetLastError() != ERROR_IO_PENDING)
        return WaitOutcome::Failed;
    WaitOutcome outcome = Wait(timeoutMs);
    if (outcome == WaitOutcome::Done) {
        std::lock_guard<std::mutex> hold(g_registryLock);
        request_.reset(reinterpret_cast<HINTERNET>(result_));
    }
    return outcome;
}

WaitOutcome AsyncInternetSession::ReadBlock(char* block, DWORD size, DWORD* got, DWORD idleMs)
{
    return Read(block, size, got, idleMs, true);
}

WaitOutcome AsyncInternetSession::ReadSome(char* block, DWORD size, DWORD* got, DWORD waitMs)
{
    return Read(block, size, got, waitMs, false);
}

WaitOutcome AsyncInternetSession::Read(char* block, DWORD size, DWORD* got, DWORD waitMs, bool fill)
{
    *got = 0;
    if (!request_)
        return WaitOutcome::Failed;
    while (*got < size) {
        // IRF_NO_WAIT: take what has arrived, or go pending until something arrives. A pending
        // read of this kind fills WinINet's own buffer, never `block`, so giving it up is safe.
        INTERNET_BUFFERSA buffers = {};
        buffers.dwStructSize = sizeof buffers;
        buffers.lpvBuffer = block + *got;
        buffers.dwBufferLength = size - *got;
        Arm();
        if (WinInet()->ReadFileExA(request_.get(), &buffers, IRF_ASYNC | IRF_NO_WAIT, context_)) {
            if (buffers.dwBufferLength > size - *got)
                return WaitOutcome::Failed;
            if (buffers.dwBufferLength == 0)
                return WaitOutcome::Done;  // the end of the body
            *got += buffers.dwBufferLength;
            if (!fill)
                return WaitOutcome::Done;
            continue;
        }
        if (GetLastError() != ERROR_IO_PENDING)
            return WaitOutcome::Failed;
        WaitOutcome outcome = Wait(waitMs);
        if (outcome != WaitOutcome::Done)
            return outcome;
    }
    return WaitOutcome::Done;
}

bool AsyncInternetSession::QueryContentLength(uint64_t* length) const
{
    *length = 0;
    char text[32];
    const char* end = nullptr;
    if (!QueryHeaderText(HTTP_QUERY_CONTENT_LENGTH, text, sizeof text) || !ParseDecimal(text, &end, length) ||
        *end != '\0') {
        *length = 0;
        return false;
    }
    return true;
}

bool AsyncInternetSession::QueryStatusCode(DWORD* status) const
{
    *status = 0;
    DWORD size = sizeof *status;
    return request_ && WinInet()->HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                                 status, &size, nullptr);
}

bool AsyncInternetSession::QueryHeaderText(DWORD query, char* text, DWORD size) const
{
    if (size == 0)
        return false;
    text[0] = '\0';
    DWORD length = size;
    if (!request_ || !WinInet()->HttpQueryInfoA(request_.get(), query, text, &length, nullptr) || length >= size) {
        text[0] = '\0';
        return false;
    }
    text[length] = '\0';
    return true;
}

void AsyncInternetSession::Close()
{
    request_.reset();
    internet_.reset();
}
