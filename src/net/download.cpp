#include "net/download.h"

#include "common/fixed_string.h"
#include "common/message_box.h"
#include "net/async_session.h"
#include "net/download_steps.h"
#include "net/download_target.h"
#include "net/wininet_api.h"
#include "shell/path_chars.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr char kGenericFailure[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决！";
constexpr char kFailureCaption[] = "错误";
constexpr char kTempPrefix[] = "fgl";
constexpr size_t kAgentSize = 64;
constexpr size_t kResponseTextSize = 999;

std::atomic<DWORD> g_responseMs{kDefaultDownloadTimeouts.responseMs};
std::atomic<DWORD> g_idleMs{kDefaultDownloadTimeouts.idleMs};
std::atomic<DWORD> g_retryMs{kDefaultDownloadTimeouts.retryMs};
std::atomic<DWORD> g_retryLimitMs{kDefaultDownloadTimeouts.retryLimitMs};
std::atomic<DWORD> g_outageMs{kDefaultDownloadTimeouts.outageMs};

void Post(HWND window, UINT message, LPARAM value) { PostMessageA(window, message, 0, value); }

// WinINet's last response text for this thread, or "" when there is none.
void LastResponseText(char (&text)[kResponseTextSize])
{
    DWORD error = 0;
    DWORD length = sizeof text;
    if (!WinInet() || !WinInet()->GetLastResponseInfoA(&error, text, &length) || length >= sizeof text)
        length = 0;
    text[length] = '\0';
}

}  // namespace

bool FormLocalPath(const char* targetName, InstallJob& job, char (&path)[kPathSize])
{
    if (targetName) {
        const char* name = targetName[0] == '\\' ? targetName + 1 : targetName;
        // The name comes from the update list on the server: it must not lead out of the install
        // directory (a ".." part, a drive). Doubled separators are read as one, so they stay in.
        if (MayLeadOutOfFolder(name)) {
            FormatString(job.message, "本地文件路径错误.\n文件:%s.", name);
            return false;
        }
        // installDir ends with a backslash, so this doubles it; Windows reads the two as one.
        if (FormatString(path, "%s\\%s", job.installDir, name))
            return true;
        // A cut path would name some other file.
        FormatString(job.message, "本地文件路径过长.\n文件:%s.", name);
        return false;
    }
    char folder[kPathSize] = {};
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > sizeof folder || !GetTempFileNameA(folder, kTempPrefix, 0, path)) {
        CopyString(job.message, "获取临时文件路径出错");
        return false;
    }
    return true;
}

const char kDownloadHeaders[] = "Accept: */*\r\n\r\n";
const DWORD kDownloadHeadersLength = 15;
static_assert(sizeof kDownloadHeaders - 1 == 15, "headers are passed with their length");
// Always from the server, never from or into the cache.
const DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert((INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE) == 0x84000100,
              "request flags");

bool OpenDownloadSession(AsyncInternetSession& session, InstallJob& job)
{
    const WinInetApi* inet = WinInet();
    if (!inet) {
        CopyString(job.message, "InternetOpen错误.");
        return false;
    }
    DWORD connection = 0;
    inet->GetConnectedState(&connection, 0);
    const DWORD access = (connection & INTERNET_CONNECTION_PROXY) ? INTERNET_OPEN_TYPE_PRECONFIG
                                                                  : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
    char agent[kAgentSize] = {};
    FormatString(agent, "Agent%ld", static_cast<long>(inet->TimeGetTime()));
    if (!session.Open(agent, access)) {
        CopyString(job.message, "InternetOpen错误.");
        return false;
    }
    return true;
}

void SetOpenUrlFailure(InstallJob& job, const char* url)
{
    char response[kResponseTextSize];
    LastResponseText(response);
    if (response[0] != '\0')
        FormatString(job.message, "InternetOpenUrl 错误.\n网址:%s.\n错误信息:%s.", url, response);
    else
        FormatString(job.message, "InternetOpenUrl 错误.\n网址:%s.\n.", url);
}

void SetReadFailure(InstallJob& job)
{
    char response[kResponseTextSize];
    LastResponseText(response);
    if (response[0] != '\0')
        FormatString(job.message, "InternetReadFile 错误.\n 错误信息:%s.", response);
    else
        CopyString(job.message, "InternetReadFile 错误.\n");
}

namespace {

// Everything between the first progress message and the outcome. On failure the reason is in
// job.message (empty for a cancel), every handle is closed and a partial file deleted.
bool Fetch(InstallJob& job, const char* url, const char* path, const DownloadTimeouts& timeouts, DownloadTap* tap)
{
    // Declared before the file, so that on every path the file is closed (and a partial one
    // deleted) before the URL and session handles are.
    AsyncInternetSession session(job.cancelRequested);
    if (!OpenDownloadSession(session, job))
        return false;
    if (DownloadCancelled(job))
        return false;

    const DWORD idleMs = timeouts.idleMs;
    WaitOutcome opened = session.OpenUrl(url, kDownloadHeaders, kDownloadHeadersLength, kDownloadFlags,
                                         timeouts.responseMs);
    if (opened == WaitOutcome::Cancelled)
        return false;
    if (opened != WaitOutcome::Done) {
        session.Close();
        SetOpenUrlFailure(job, url);
        return false;
    }

    DownloadTarget file;
    if (!file.Create(path)) {
        session.Close();
        FormatString(job.message, "创建文件错误.\n文件:%s.", path);
        return false;
    }
    if (DownloadCancelled(job))
        return false;
    uint64_t length = 0;
    const bool lengthKnown = session.QueryContentLength(&length);
    if (DownloadCancelled(job))
        return false;

    std::unique_ptr<char[]> block(new (std::nothrow) char[kDownloadBlockSize]());
    if (DownloadCancelled(job))
        return false;

    // In 64 bits: a body past 4 GiB would wrap a 32-bit count, and a cut body could pass for whole.
    uint64_t total = 0;
    for (;;) {
        DWORD got = 0;
        WaitOutcome read = block ? session.ReadBlock(block.get(), kDownloadBlockSize, &got, idleMs) : WaitOutcome::Failed;
        if (read == WaitOutcome::Cancelled)
            return false;
        // A connection that closes early looks like the end of the body; only the announced
        // length tells the two apart.
        const bool ended = read == WaitOutcome::Done && got == 0;
        if (read != WaitOutcome::Done || (ended && lengthKnown && total < length)) {
            file.Discard();
            session.Close();
            SetReadFailure(job);
            return false;
        }
        if (ended) {
            if (!file.Finish()) {
                session.Close();
                FormatString(job.message, "写入文件错误.\n文件:%s.", path);
                return false;
            }
            session.Close();
            return true;
        }
        if (!file.Write(block.get(), got)) {
            file.Discard();
            session.Close();
            FormatString(job.message, "写入文件错误.\n文件:%s.", path);
            return false;
        }
        if (tap)
            tap->Bytes(block.get(), got);
        total += got;
        Post(job.window, WM_INSTALL_PROGRESS, DownloadPercentage(total, length));
        if (DownloadCancelled(job))
            return false;
    }
}

}  // namespace

DownloadTimeouts SetDownloadTimeouts(DownloadTimeouts timeouts)
{
    DownloadTimeouts previous = {g_responseMs.exchange(timeouts.responseMs), g_idleMs.exchange(timeouts.idleMs),
                                 g_retryMs.exchange(timeouts.retryMs), g_retryLimitMs.exchange(timeouts.retryLimitMs),
                                 g_outageMs.exchange(timeouts.outageMs)};
    return previous;
}

DownloadTimeouts CurrentDownloadTimeouts()
{
    return {g_responseMs.load(), g_idleMs.load(), g_retryMs.load(), g_retryLimitMs.load(), g_outageMs.load()};
}

int EndDownload(InstallJob& job, bool fetched, bool quiet)
{
    if (fetched) {
        Post(job.window, WM_INSTALL_PROGRESS, 100);
        return 0;
    }
    if (job.message[0] != '\0' && !quiet) {
        CopyString(job.message, kGenericFailure);
        ShowMessageBox(job.window, job.message, kFailureCaption, MB_OK);
    }
    Post(job.window, WM_INSTALL_STATUS, STATUS_FAILED);
    return 1;
}

int DownloadFile(const char* targetName, InstallJob& job, const char* url, char (&localPath)[kPathSize],
                 bool quiet)
{
    DownloadOptions options;
    options.quiet = quiet;
    return DownloadFile(targetName, job, url, localPath, options);
}

int DownloadFile(const char* targetName, InstallJob& job, const char* url, char (&localPath)[kPathSize],
                 const DownloadOptions& options)
{
    memset(job.message, 0, sizeof job.message);
    Post(job.window, WM_INSTALL_PROGRESS, 0);

    const DownloadTimeouts timeouts = options.timeouts ? *options.timeouts : CurrentDownloadTimeouts();
    const bool quiet = options.quiet;
    char path[kPathSize] = {};
    bool fetched = FormLocalPath(targetName, job, path);
    if (fetched) {
        CopyString(localPath, path);
        if (options.pin) {
            const char* urls[1 + kMaxMirrors] = {url};
            int count = 1;
            for (int i = 0; i < options.mirrorCount && count < 1 + kMaxMirrors; ++i)
                urls[count++] = options.mirrors[i];
            fetched = FetchPinned(job, urls, count, path, timeouts, *options.pin, options.tap);
        } else {
            fetched = Fetch(job, url, path, timeouts, options.tap);
        }
    }
    if (!fetched && options.tap)
        options.tap->Abandon();
    return EndDownload(job, fetched, quiet);
}
