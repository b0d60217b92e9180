#include "install/config_files.h"

#include "shell/integrate.h"

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

template <size_t N>
void ReadString(const char* path, const char* section, const char* key, char (&value)[N])
{
    GetPrivateProfileStringA(section, key, "", value, N, path);
}

int ReadInt(const char* path, const char* section, const char* key, int fallback)
{
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path));
}

}  // namespace

bool ReadListPin(const char* listPath, DownloadPin* pin)
{
    char size[32] = {}, sha256[80] = {};
    ReadString(listPath, kListSection, "size", size);
    ReadString(listPath, kListSection, "sha256", sha256);
    uint64_t bytes = 0;
    const char* end = nullptr;
    if (!ParseDecimal(size, &end, &bytes) || *end != '\0' ||
        !DecodeHex(sha256, strlen(sha256), pin->sha256, kSha256Size))
        return false;
    pin->size = bytes;
    return true;
}

bool ReadSetupSection(const char* configPath, InstallJob& job)
{
    ReadString(configPath, kSetup, "gamename", job.gameName);
    ReadString(configPath, kSetup, "exefilename", job.exeFileName);
    ReadString(configPath, kSetup, "ProductTitle", job.productTitle);
    const int sizeMb = ReadInt(configPath, kSetup, "size", -1);
    if (sizeMb < 0)
        return false;
    // MiB to KiB; in unsigned arithmetic, so that an absurd size wraps instead of overflowing.
    job.requiredKb = static_cast<int32_t>(static_cast<uint32_t>(sizeMb) << 10);
    ReadString(configPath, kSetup, "urlAgreement", job.agreementUrl);
    ReadString(configPath, kSetup, "uninstname", job.uninstallerName);
    ReadString(configPath, kSetup, "Publisher", job.publisher);
    ReadString(configPath, kSetup, "Contact", job.contact);
    return true;
}

bool ReadUpdateListUrl(const char* configPath, char (&url)[kConfigValueSize])
{
    ReadString(configPath, kConfig, kInstallerVersion, url);
    if (url[0] == '\0')
        ReadString(configPath, kConfig, "other", url);
    return url[0] != '\0';
}

int ReadListAction(const char* listPath) { return ReadInt(listPath, kListSection, "action", ACTION_MISSING); }

void ReadListFiles(const char* listPath, UpdateListFiles& files)
{
    ReadString(listPath, kListSection, "srcfile", files.srcFile);
    ReadString(listPath, kListSection, "destfile", files.destFile);
    ReadString(listPath, kListSection, "cmd", files.cmd);
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
    char path[kPathSize];
    if (!FormatString(path, "%suninstall\\uninstall.ini", job.installDir))
        return false;  // a cut path would name some other file
    char shortcut[kPathSize];
    MakeShortcutName(shortcut, job.exeFileName);
    WritePrivateProfileStringA(kConfig, "setupdir", job.installDir, path);
    WritePrivateProfileStringA(kConfig, "gamename", job.gameName, path);
    WritePrivateProfileStringA(kConfig, "shortcutname", shortcut, path);
    WritePrivateProfileStringA(kConfig, "ProductTitle", job.productTitle, path);
    return true;
}
