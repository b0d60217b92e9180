#include "pkgtool/tool_platform.h"

#include "common/win_handles.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <io.h>
#include <string>

namespace {

std::string LastError()
{
    return "system error " + std::to_string(GetLastError());
}

struct LocalMemoryTraits {  // what the SDDL conversions allocate
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type memory) noexcept { LocalFree(memory); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// "D:P(A;;FA;;;<the user's SID>)": full access for the current user and nobody else, protected
// from the entries the folder would pass on.
bool OwnerOnlyDescriptor(UniqueLocalMemory* descriptor, std::string* error)
{
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        *error = "cannot read this process's user (" + LastError() + ")";
        return false;
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<uint64_t> user(size / sizeof(uint64_t) + 1);  // aligned for the TOKEN_USER it holds
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) {
        *error = "cannot read this process's user (" + LastError() + ")";
        return false;
    }
    char* sid = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
        *error = "cannot read this process's user (" + LastError() + ")";
        return false;
    }
    UniqueLocalMemory sidText(sid);
    const std::string sddl = std::string("D:P(A;;FA;;;") + sid + ")";
    void* made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &made, nullptr)) {
        *error = "cannot make a security descriptor for the user alone (" + LastError() + ")";
        return false;
    }
    descriptor->reset(made);
    return true;
}

}  // namespace

bool ListFolder(const std::string& path, std::vector<FolderItem>* items, std::string* error)
{
    items->clear();
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    if (!search) {
        *error = "cannot read the folder " + path + " (" + LastError() + ")";
        return false;
    }
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
            continue;
        FolderItem item;
        item.name = found.cFileName;
        item.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.size = item.folder ? 0 : (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        items->push_back(item);
    } while (FindNextFileA(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        *error = "cannot read the folder " + path + " (" + LastError() + ")";
        return false;
    }
    std::sort(items->begin(), items->end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return true;
}

PathKind KindOfPath(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

bool MakeFolders(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        std::string part = path.substr(0, i);
        if (part.size() == 2 && part[1] == ':')
            continue;  // a drive
        CreateDirectoryA(part.c_str(), nullptr);
    }
    return KindOfPath(path) == PathKind::Folder;
}

bool SameFile(const std::string& a, const std::string& b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
        UniqueFileHandle file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file && GetFileInformationByHandle(file.get(), info);
    };
    return identify(a, &ia) && identify(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::string MakeTemporaryFile(std::string* error)
{
    char folder[MAX_PATH];
    char path[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder || GetTempFileNameA(folder, "pkg", 0, path) == 0) {
        *error = "cannot create a temporary file (" + LastError() + ")";
        return std::string();
    }
    return path;
}

bool RemovePath(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool CreateNewFile(const std::string& path, const std::string& bytes, bool ownerOnly, std::string* error)
{
    UniqueLocalMemory descriptor;
    if (ownerOnly && !OwnerOnlyDescriptor(&descriptor, error))
        return false;
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor.get(), FALSE};
    // CREATE_NEW: a file that appeared since the caller looked is refused, never truncated.
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, ownerOnly ? &security : nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD code = GetLastError();
        *error = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS
                     ? path + " exists already"
                     : "cannot create " + path + " (" + LastError() + ")";
        return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD wrote = 0;
        written = WriteFile(file.get(), bytes.data() + done, piece, &wrote, nullptr) && wrote > 0;
        done += wrote;
    }
    written = written && FlushFileBuffers(file.get());
    if (!written)
        *error = "cannot write " + path + " (" + LastError() + ")";
    file.reset();
    if (!written)
        DeleteFileA(path.c_str());
    return written;
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

const char* NativeSeparator() { return "\\"; }

bool Utf8ToGbk(const std::string& utf8, std::string* gbk)
{
    gbk->clear();
    if (utf8.empty())
        return true;
    const int size = static_cast<int>(utf8.size());
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (wide <= 0)
        return false;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &text[0], wide);
    // No best fit: a character without a GBK code must be refused, not turned into a look-alike.
    BOOL lost = FALSE;
    const int bytes = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0, nullptr, &lost);
    if (bytes <= 0 || lost)
        return false;
    gbk->assign(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.data(), wide, &(*gbk)[0], bytes, nullptr, &lost);
    return !lost;
}

std::string GameNameArgument(const char* argument)
{
    const int wide = MultiByteToWideChar(CP_ACP, 0, argument, -1, nullptr, 0);
    std::wstring text(wide > 0 ? wide : 1, L'\0');
    if (wide <= 0 || !MultiByteToWideChar(CP_ACP, 0, argument, -1, &text[0], wide))
        return "";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes : 1, '\0');
    if (bytes <= 0 || !WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], bytes, nullptr, nullptr))
        return "";
    utf8.resize(bytes - 1);
    return utf8;
}
