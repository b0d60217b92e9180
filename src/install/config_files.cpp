#include "install/config_files.h"

#include "shell/integrate.h"

#include "common/file_system.h"
#include "common/fixed_string.h"
#include "common/number_text.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr char kSetup[] = "setup";
constexpr char kConfig[] = "config";
// The update list's one section: "list%d" with the number 0. No other number is ever read.
constexpr char kListSection[] = "list0";
// This installer's own version, the key of its update list's address.
constexpr char kInstallerVersion[] = "1.0";

// True when the file at `path` is a plain file: no reparse point, no other name (hard link).
bool PlainFileAt(const char* path)
{
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool plain = GetFileInformationByHandle(file, &info) && IsPlainFile(info.dwFileAttributes, info.nNumberOfLinks);
    CloseHandle(file);
    return plain;
}

}  // namespace

bool ReadListPin(const ProfileText& list, DownloadPin* pin)
{
    char size[32] = {}, sha256[80] = {};
    list.ReadString(kListSection, "size", size);
    list.ReadString(kListSection, "sha256", sha256);
    uint64_t bytes = 0;
    const char* end = nullptr;
    if (!ParseDecimal(size, &end, &bytes) || *end != '\0' ||
        !DecodeHex(sha256, strlen(sha256), pin->sha256, kSha256Size))
        return false;
    pin->size = bytes;
    return true;
}

bool ReadSetupSection(const ProfileText& config, InstallJob& job)
{
    config.ReadString(kSetup, "gamename", job.gameName);
    config.ReadString(kSetup, "exefilename", job.exeFileName);
    config.ReadString(kSetup, "ProductTitle", job.productTitle);
    const int sizeMb = config.ReadInt(kSetup, "size", -1);
    if (sizeMb < 0)
        return false;
    // MiB to KiB; in unsigned arithmetic, so that an absurd size wraps instead of overflowing.
    job.requiredKb = static_cast<int32_t>(static_cast<uint32_t>(sizeMb) << 10);
    config.ReadString(kSetup, "urlAgreement", job.agreementUrl);
    config.ReadString(kSetup, "uninstname", job.uninstallerName);
    config.ReadString(kSetup, "Publisher", job.publisher);
    config.ReadString(kSetup, "Contact", job.contact);
    return true;
}

bool ReadUpdateListUrl(const ProfileText& config, char (&url)[kConfigValueSize])
{
    config.ReadString(kConfig, kInstallerVersion, url);
    if (url[0] == '\0')
        config.ReadString(kConfig, "other", url);
    return url[0] != '\0';
}

ListPin ReadUpdateListPin(const ProfileText& config, uint8_t (&sha256)[kSha256Size])
{
    char url[kConfigValueSize];
    config.ReadString(kConfig, kInstallerVersion, url);
    char key[32];
    FormatString(key, "%s.sha256", url[0] != '\0' ? kInstallerVersion : "other");
    char hex[80] = {};
    config.ReadString(kConfig, key, hex);
    if (hex[0] == '\0')
        return ListPin::None;
    return DecodeHex(hex, strlen(hex), sha256, kSha256Size) ? ListPin::Pinned : ListPin::Malformed;
}

int ReadListAction(const ProfileText& list) { return list.ReadInt(kListSection, "action", ACTION_MISSING); }

void ReadListFiles(const ProfileText& list, UpdateListFiles& files)
{
    list.ReadString(kListSection, "srcfile", files.srcFile);
    list.ReadString(kListSection, "destfile", files.destFile);
    list.ReadString(kListSection, "cmd", files.cmd);
    files.mirrorCount = 0;
    for (int i = 1; i <= kMaxMirrors; ++i) {
        char key[16];
        FormatString(key, "mirror%d", i);
        char (&mirror)[kPathSize] = files.mirrors[files.mirrorCount];
        list.ReadString(kListSection, key, mirror);
        if (mirror[0] != '\0')
            ++files.mirrorCount;
    }
}

const char* CheckListStep(int action, const UpdateListFiles& files)
{
    if (action == ACTION_MISSING)
        return "解析更新列表文件错误.";
    if ((action & ACTION_COMMAND) && files.cmd[0] == '\0')
        return "解析更新列表文件错误,动作有命令但命令为空.";
    if ((action & ACTION_DOWNLOAD) && (files.srcFile[0] == '\0' || files.destFile[0] == '\0'))
        return "解析更新列表文件错误,动作为下载文件但文件路径为空.";
    return nullptr;
}

bool WriteUninstallFile(const InstallJob& job)
{
    char folder[kPathSize], path[kPathSize];
    if (!FormatString(folder, "%suninstall", job.installDir) || !FormatString(path, "%s\\uninstall.ini", folder))
        return false;  // a cut path would name some other file
    // The folder lies in the game's folder, which may be the player's: it is written only as a
    // plain folder, held meanwhile, and a link lying where the file goes is taken away first (the
    // profile functions would write through it).
    UniqueOsFile held(HoldFolder(folder));
    if (!held)
        return true;  // no uninstall folder (or a link there): nothing to write into
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !PlainFileAt(path))
        DeleteFileA(path);
    char shortcut[kPathSize];
    MakeShortcutName(shortcut, job.exeFileName);
    WritePrivateProfileStringA(kConfig, "setupdir", job.installDir, path);
    WritePrivateProfileStringA(kConfig, "gamename", job.gameName, path);
    WritePrivateProfileStringA(kConfig, "shortcutname", shortcut, path);
    WritePrivateProfileStringA(kConfig, "ProductTitle", job.productTitle, path);
    return true;
}
