#include "support/test_support.h"

#include "common/gbk.h"
#include "test_paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

const char* PathSeparator()
{
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

static std::string Join(const std::string& a, const std::string& b)
{
    std::string s = a;
    if (!s.empty() && s.back() != '/' && s.back() != '\\')
        s += PathSeparator();
    s += b;
    return s;
}

static std::string ToNative(std::string path)
{
    // Character by character: the trail byte of 誠 (D5 5C) is no separator.
    for (size_t i = 0; i < path.size(); i += GbkCharWidth(path.c_str() + i)) {
#ifdef _WIN32
        if (path[i] == '/') path[i] = '\\';
#else
        if (path[i] == '\\') path[i] = '/';
#endif
    }
    return path;
}

static bool MakeDir(const std::string& path)
{
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
#else
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
#endif
}

static void MakeParents(const std::string& path)
{
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/' || path[i] == '\\')
            MakeDir(path.substr(0, i));
    }
}

std::string TestRuntimeDir() { return VELLORA_TEST_RUNTIME_DIR; }

std::string TestDataPath(const std::string& name) { return Join(VELLORA_TEST_DATA_DIR, ToNative(name)); }

std::string ServedPath(const std::string& relative)
{
    std::string path = Join(Join(TestRuntimeDir(), "www"), ToNative(relative));
    MakeParents(path);
    return path;
}

bool WriteFileBytes(const std::string& path, const std::string& content)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
    return fclose(f) == 0 && ok;
}

bool ReadFileBytes(const std::string& path, std::string* content)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    content->clear();
    char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0)
        content->append(block, n);
    fclose(f);
    return true;
}

bool FileExists(const std::string& path)
{
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0;
#endif
}

int TestServerPort(const char* listener)
{
    std::string ini;
    if (!ReadFileBytes(Join(TestRuntimeDir(), "server.ini"), &ini))
        return 0;
    std::string key = std::string(listener) + "=";
    size_t at = 0;
    while ((at = ini.find(key, at)) != std::string::npos) {
        if (at == 0 || ini[at - 1] == '\n')
            return atoi(ini.c_str() + at + key.size());
        at += key.size();
    }
    return 0;
}

std::string TestServerUrl(const std::string& path)
{
    std::string p = path;
    if (!p.empty() && p[0] == '/')
        p.erase(0, 1);
    return "http://127.0.0.1:" + std::to_string(TestServerPort()) + "/" + p;
}

std::string TestServerHttpsUrl(const std::string& path, const char* listener)
{
    std::string p = path;
    if (!p.empty() && p[0] == '/')
        p.erase(0, 1);
    return "https://localhost:" + std::to_string(TestServerPort(listener)) + "/" + p;
}

std::string ReleaseSitePath() { return Join(TestRuntimeDir(), "site"); }

std::string ReleaseSiteUrl(bool https)
{
    return https ? "https://localhost:" + std::to_string(VELLORA_RELEASE_SITE_PORT + 1) + "/"
                 : "http://127.0.0.1:" + std::to_string(VELLORA_RELEASE_SITE_PORT) + "/";
}

std::string TestServerLog()
{
    std::string log;
    ReadFileBytes(Join(TestRuntimeDir(), "server.log"), &log);
    return log;
}

void RemoveTree(const std::string& path)
{
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
                continue;
            std::string child = path + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
#else
    DIR* dir = opendir(path.c_str());
    if (dir) {
        while (dirent* entry = readdir(dir)) {
            if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
                continue;
            std::string child = path + "/" + entry->d_name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                RemoveTree(child);
            } else {
                chmod(child.c_str(), 0666);
                unlink(child.c_str());
            }
        }
        closedir(dir);
    }
    rmdir(path.c_str());
#endif
}

ScratchDir::ScratchDir(const char* tag)
{
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    std::string base = Join(TestRuntimeDir(), "scratch");
    MakeDir(base);
    path_ = Join(base, std::string(tag) + "-" + std::to_string(pid) + "-" + std::to_string(counter++));
    RemoveTree(path_);
    MakeDir(path_);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::string ScratchDir::operator/(const std::string& name) const { return Join(path_, ToNative(name)); }

unsigned long long PeakMemoryBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
#else
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? static_cast<unsigned long long>(usage.ru_maxrss) * 1024 : 0;
#endif
}
