#include "pkgtool/tool_platform.h"

#include "common/unique_resource.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirTraits {
    using Type = DIR*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type dir) noexcept { closedir(dir); }
};
using UniqueDir = UniqueResource<DirTraits>;

struct IconvTraits {
    using Type = iconv_t;
    static Type Invalid() noexcept { return reinterpret_cast<iconv_t>(-1); }
    static void Close(Type converter) noexcept { iconv_close(converter); }
};
using UniqueIconv = UniqueResource<IconvTraits>;

}  // namespace

bool ListFolder(const std::string& path, std::vector<FolderItem>* items, std::string* error)
{
    items->clear();
    UniqueDir dir(opendir(path.c_str()));
    if (!dir) {
        *error = "cannot read the folder " + path + ": " + strerror(errno);
        return false;
    }
    while (dirent* entry = readdir(dir.get())) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        std::string full = path + "/" + entry->d_name;
        struct stat st;
        if (stat(full.c_str(), &st) != 0) {
            *error = "cannot read " + full + ": " + strerror(errno);
            return false;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
            *error = full + " is neither a file nor a folder";
            return false;
        }
        FolderItem item;
        item.name = entry->d_name;
        item.folder = S_ISDIR(st.st_mode);
        item.size = item.folder ? 0 : static_cast<uint64_t>(st.st_size);
        items->push_back(item);
    }
    std::sort(items->begin(), items->end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return true;
}

PathKind KindOfPath(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return PathKind::Missing;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
}

bool MakeFolders(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return KindOfPath(path) == PathKind::Folder;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string MakeTemporaryFile(std::string* error)
{
    const char* folder = getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/pkgtool-XXXXXX";
    int fd = mkstemp(&path[0]);
    if (fd < 0) {
        *error = "cannot create a temporary file: " + std::string(strerror(errno));
        return std::string();
    }
    close(fd);
    return path;
}

bool RemovePath(const std::string& path) { return unlink(path.c_str()) == 0; }

bool CreateNewFile(const std::string& path, const std::string& bytes, bool ownerOnly, std::string* error)
{
    // O_EXCL: a file that appeared since the caller looked is refused, never truncated.
    int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, ownerOnly ? 0600 : 0644);
    if (fd < 0) {
        *error = errno == EEXIST ? path + " exists already" : "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    // The umask could only narrow 0600, but a key its owner cannot read is of no use either.
    bool written = !ownerOnly || fchmod(fd, 0600) == 0;
    for (size_t done = 0; written && done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? static_cast<size_t>(n) : 0;
    }
    written = written && fsync(fd) == 0;
    if (!written)
        *error = "cannot write " + path + ": " + strerror(errno);
    if (close(fd) != 0 && written) {
        *error = "cannot write " + path + ": " + strerror(errno);
        written = false;
    }
    if (!written)
        unlink(path.c_str());
    return written;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

const char* NativeSeparator() { return "/"; }

bool Utf8ToGbk(const std::string& utf8, std::string* gbk)
{
    // CP936 is Windows' GBK, with the euro sign at 0x80 that glibc's plain GBK lacks.
    UniqueIconv converter(iconv_open("CP936", "UTF-8"));
    if (!converter)
        return false;
    std::string in = utf8;
    gbk->assign(2 * utf8.size(), '\0');  // GBK takes at most as many bytes as UTF-8 for each character
    char* from = &in[0];
    char* to = gbk->empty() ? nullptr : &(*gbk)[0];
    size_t inLeft = in.size(), outLeft = gbk->size();
    if (!in.empty() && iconv(converter.get(), &from, &inLeft, &to, &outLeft) == static_cast<size_t>(-1))
        return false;
    gbk->resize(gbk->size() - outLeft);
    return true;
}

std::string GameNameArgument(const char* argument) { return argument; }
