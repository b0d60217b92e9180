// RunInstallJob: the worker thread's whole installation, in the order the window and the servers
// rely on. Every failure shows exactly one box (or none, where the download has shown its own or
// the user cancelled) and ends with status 0.
#include "install/config_files.h"
#include "install/install_job.h"
#include "install/launch.h"
#include "install/publisher_trust.h"
#include "install/decode_during_download.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "common/held_files.h"
#include "common/join_path.h"
#include "common/message_box.h"
#include "common/sha256.h"
#include "common/window_progress_sink.h"
#include "net/download.h"
#include "net/download_target.h"
#include "net/fetch_bytes.h"
#include "package/extract.h"
#include "shell/integrate.h"
#include "shell/path_chars.h"

#include <cstring>

namespace {

const char kErrorCaption[] = "错误";
// Shown when a failure left no text of its own.
const char kNetworkText[] = "用户网络问题导致无法下载成功，请联系客服或技术人员协助解决";
const char kNoUpdateUrl[] = "从文件中,获取版本对应的更新URL错误.";
const char kUnknownCommand[] = "未知的命令参数";
const char kExtractFailed[] = "解压文件失败";
// The extraction stopped at a file or folder it could not write.
const char kExtractFailedAt[] = "解压文件失败\n文件:%s.";
// The folder the package goes into is no plain folder (a junction, a symbolic link) or cannot be
// held: the download's text for a local path that may not be used.
const char kBadLocalPath[] = "本地文件路径错误.\n文件:%s.";
// Only with publisher keys: the update list's signature (or its date, or the configuration's pin
// of it) does not hold. With keys, or with mirrors: a list that downloads without pinning what it
// downloads.
const char kListNotSigned[] = "更新列表文件签名错误.";
const char kListWithoutPin[] = "解析更新列表文件错误,下载文件缺少大小或校验值.";

// How long a running copy of the game may take to handle the request to close. A game that hangs
// must not hang the installation with it.
constexpr UINT kCloseGameTimeoutMs = 30000;

void PostStatus(const InstallJob& job, InstallStatus status)
{
    PostMessageA(job.window, WM_INSTALL_STATUS, 0, status);
}

// The box of a failed step (its text is already in job.message), then status 0.
void ShowFailure(InstallJob& job)
{
    const char* text = job.message[0] ? job.message : kNetworkText;
    ShowMessageBox(job.window, text, kErrorCaption, MB_OK);
    PostStatus(job, STATUS_FAILED);
}

void Fail(InstallJob& job, const char* text)
{
    CopyString(job.message, text);
    ShowFailure(job);
}

// Asks a running copy of the game (a top-level window captioned with the product title) to close
// before its files are replaced, and waits until it has handled the request. Without a title
// there is nothing to look for: an empty caption would match unrelated windows.
void CloseRunningGame(const InstallJob& job)
{
    if (job.productTitle[0] == '\0')
        return;
    HWND game = FindWindowA(nullptr, job.productTitle);
    if (!game)
        return;
    DWORD_PTR ignored;
    SendMessageTimeoutA(game, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseGameTimeoutMs, &ignored);
}

// True when the list's command will come to the extraction of the downloaded package: the
// conditions InstallPackage checks before it.
bool WillExtract(int action, const UpdateListFiles& files)
{
    return (action & ACTION_COMMAND) && strcmp(files.cmd, kCommandExtract) == 0 && !MayLeadOutOfFolder(files.destFile);
}

// What the decoding during the download may take. With publisher keys the package is vouched for
// only once its hash has matched: until then its decoder gets at most what the largest dictionary
// pkgtool makes needs, and at most the space the signed configuration says the game takes (size,
// in MiB). Without keys nothing is ever vouched for, and the decoding is the one the extraction
// would do.
LzmaLimits DecodingLimits(const InstallJob& job)
{
    LzmaLimits limits;
    if (SignedDelivery()) {
        limits.memory = LzmaDecoderMemory(kLargestPackageDictionary);
        limits.output = static_cast<uint64_t>(static_cast<uint32_t>(job.requiredKb)) << 10;
    }
    return limits;
}

// The "DEC" command: extract the package, register, make the shortcuts, write the uninstall file,
// start the game. Returns false after a failure (its box shown and status 0 posted).
// `decoded`: the package's intermediate file was decoded while it downloaded (SpeculativeDecode).
bool InstallPackage(InstallJob& job, const UpdateListFiles& files, bool decoded)
{
    PostStatus(job, STATUS_INSTALLING);
    PostMessageA(job.window, WM_INSTALL_PROGRESS, 0, 0);
    if (strcmp(files.cmd, kCommandExtract) != 0) {
        Fail(job, kUnknownCommand);
        return false;
    }

    // The package name comes from the server. Without a download before it (action 1) nothing
    // has checked it yet, and the extraction writes its intermediate file beside the package and
    // deletes the package afterwards: neither may happen outside the game's folder.
    if (MayLeadOutOfFolder(files.destFile)) {
        Fail(job, kExtractFailed);
        return false;
    }

    CloseRunningGame(job);

    WindowProgressSink progress(job.window);
    ExtractReport report;
    if (ExtractPackage(progress, files.destFile, job.installDir, decoded, &report) != 0) {
        if (report.failedFile[0] == '\0' || !FormatString(job.message, kExtractFailedAt, report.failedFile))
            CopyString(job.message, kExtractFailed);
        ShowFailure(job);
        return false;
    }
    // The extraction normally removed the package already; a missing file is no error.
    char packagePath[kPathSize];
    if (JoinPath(packagePath, job.installDir, files.destFile))
        RemoveFile(packagePath);

    IntegrateWithShell(job.installDir, job.gameName, job.exeFileName, job.uninstallerName, job.publisher,
                       job.contact);
    WriteUninstallFile(job);

    char gamePath[kPathSize];
    if (!FormatString(gamePath, "%s%s", job.installDir, job.exeFileName)) {
        // A cut path would start some other program: report it as the launch would.
        FormatString(job.message, "找不到%s文件.", gamePath);
        ShowFailure(job);
        return false;
    }
    if (!LaunchProgram(job, gamePath)) {
        ShowFailure(job);
        return false;
    }
    PostStatus(job, STATUS_COMPLETE);
    return true;
}

// True unless the configuration pins another update list than `list` (or pins it with something
// that is no SHA-256).
bool ListAsPinned(const ProfileText& config, const ProfileText& list)
{
    uint8_t pinned[kSha256Size];
    const ListPin pin = ReadUpdateListPin(config, pinned);
    if (pin == ListPin::None)
        return true;
    uint8_t digest[kSha256Size];
    Sha256 hash;
    hash.Update(list.data(), list.size());
    hash.Final(digest);
    return pin == ListPin::Pinned && memcmp(digest, pinned, kSha256Size) == 0;
}

// Fetches the update list into `list` and, with publisher keys, checks it: the configuration's pin
// of it, if any, and its signature. False after a failure, which has shown its box (or none, when
// cancelled) and posted status 0.
bool FetchUpdateList(InstallJob& job, const char* url, ProfileText* list)
{
    const DownloadTimeouts timeouts = CurrentDownloadTimeouts();
    const FetchDeadline deadline(SmallFileDeadlineMs(timeouts));
    if (DownloadSmallFile(job, url, false, timeouts, deadline, list) != 0)
        return false;  // the download has shown its box and posted status 0
    if (!SignedDelivery())
        return true;
    // A list the configuration does not pin is an older one, or another game's: however well it
    // is signed, it is not the list of this configuration.
    if (!ListAsPinned(job.configText, *list)) {
        Fail(job, kListNotSigned);
        return false;
    }
    if (!SignedByPublisher(job, url, SignedRole::UpdateList, *list, timeouts, deadline)) {
        // The signature belongs to the list's download: cancelled, it ends as a cancelled
        // download does, without a box.
        if (job.cancelRequested.load())
            PostStatus(job, STATUS_FAILED);
        else
            Fail(job, kListNotSigned);
        return false;
    }
    return true;
}

// The folder that the package and its intermediate file go into (the installation directory, or
// the folder the list's destfile names below it, made here when missing) is held for the whole
// job and must be a plain folder: through a junction there the elevated writes of the download
// and the decoding would land wherever it points.
bool HoldPackageFolder(const char* packagePath, UniqueOsFile* folder)
{
    char path[kExtractPathSize] = {};
    const size_t length = FolderPartLength(packagePath);
    if (length == 0 || length >= sizeof path)
        return false;
    memcpy(path, packagePath, length);
    if (path[length - 1] == ':')
        path[length] = '\\';  // "D:\" itself, not the current folder of drive D
    CreateDirectoryA(path, nullptr);
    folder->reset(HoldFolder(path));
    return static_cast<bool>(*folder);
}

}  // namespace

void RunInstallJob(InstallJob& job)
{
    // The game's folder stays the current directory for the rest of the process.
    SetCurrentDirectoryA(job.installDir);

    PostStatus(job, STATUS_READING_CONFIG);
    char listUrl[kConfigValueSize];
    if (!ReadUpdateListUrl(job.configText, listUrl)) {
        Fail(job, kNoUpdateUrl);
        return;
    }

    PostStatus(job, STATUS_READING_CONFIG);
    ProfileText list;
    if (!FetchUpdateList(job, listUrl, &list))
        return;

    const int action = ReadListAction(list);
    if (action == 0) {
        PostStatus(job, STATUS_INSTALLING);
        return;
    }
    if (job.cancelRequested.load())
        return;  // cancelled by the user: no box, no status

    UpdateListFiles files;
    if (action != ACTION_MISSING)
        ReadListFiles(list, files);
    if (const char* problem = CheckListStep(action, files)) {
        Fail(job, problem);
        return;
    }

    // With publisher keys only what this run downloaded and checked is installed: a step that
    // would extract whatever package lies in the folder is refused like a list whose signature
    // does not hold.
    if (SignedDelivery() && !(action & ACTION_DOWNLOAD)) {
        Fail(job, kListNotSigned);
        return;
    }
    // With keys every download is pinned; without, only one from mirrors, which a pin alone makes
    // as good as srcfile.
    DownloadPin pin;
    const bool pinned = (action & ACTION_DOWNLOAD) && (SignedDelivery() || files.mirrorCount > 0);
    if (pinned && !ReadListPin(list, &pin)) {
        Fail(job, kListWithoutPin);
        return;
    }

    // The package and its decoded intermediate file are held from their writing through the
    // extraction, so that no other process can replace them after the check, and neither is ever
    // read unless this run wrote it (common/held_files.h). A package that this run does not
    // download (an unkeyed list's step that only extracts) is the one lying in the folder.
    PackagePaths paths;
    const bool named = FormPackagePaths(job.installDir, files.destFile, &paths);
    FileHold packageHold(named && (action & ACTION_DOWNLOAD) ? paths.package : "");
    FileHold intermediateHold(named ? paths.intermediate : "");
    UniqueOsFile packageFolder;
    if (named && !MayLeadOutOfFolder(files.destFile) && !HoldPackageFolder(paths.package, &packageFolder)) {
        FormatString(job.message, kBadLocalPath, paths.package);
        ShowFailure(job);
        return;
    }

    // A package that is to be extracted is decoded while it downloads (decode_during_download.h).
    SpeculativeDecode speculative;
    bool decoded = false;
    if (action & ACTION_DOWNLOAD) {
        PostStatus(job, STATUS_DOWNLOADING);
        char packagePath[kPathSize] = {};
        const char* mirrors[kMaxMirrors];
        for (int i = 0; i < files.mirrorCount; ++i)
            mirrors[i] = files.mirrors[i];
        DownloadOptions options;
        options.pin = pinned ? &pin : nullptr;
        options.mirrors = mirrors;
        options.mirrorCount = files.mirrorCount;
        if (WillExtract(action, files) && speculative.Start(job.installDir, files.destFile, DecodingLimits(job)))
            options.tap = &speculative;
        if (DownloadFile(files.destFile, job, files.srcFile, packagePath, options) != 0) {
            speculative.Abandon();  // keeps no intermediate file where no package stays
            PostStatus(job, STATUS_FAILED);
            return;
        }
        decoded = speculative.Finish(packagePath);  // false when it never started
        if (pinned)
            FileChecked(packagePath);
    }
    if ((action & ACTION_COMMAND) && !InstallPackage(job, files, decoded))
        return;

    PostStatus(job, STATUS_INSTALLING);
}

DWORD WINAPI InstallJobThread(LPVOID parameter)
{
    RunInstallJob(*static_cast<InstallJob*>(parameter));
    return 0;
}
