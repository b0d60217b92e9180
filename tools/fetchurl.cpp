// fetchurl URL
// Fetches one address through WinINet, the way the installer does, and prints the body.
// Publishers use it to check that their servers answer what the installer expects.
#include "common/unique_resource.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>

namespace {
// A tool, not the installer: it imports WinINet like any program.
struct InternetTraits {
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { InternetCloseHandle(h); }
};
using UniqueInternet = UniqueResource<InternetTraits>;
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || strcmp(argv[1], "--help") == 0) {
        fprintf(argc == 2 ? stdout : stderr, "usage: fetchurl URL\n"
                                             "Prints the body that the installer would download from URL.\n");
        return argc == 2 ? 0 : 2;
    }
    UniqueInternet session(InternetOpenA("fetchurl", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        fprintf(stderr, "fetchurl: InternetOpen failed (error %lu)\n", GetLastError());
        return 1;
    }
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    UniqueInternet url(InternetOpenUrlA(session.get(), argv[1], "Accept: */*\r\n\r\n", 15, flags, 0));
    if (!url) {
        fprintf(stderr, "fetchurl: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    DWORD status = 0, size = sizeof status;
    HttpQueryInfoA(url.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    char block[65536];
    DWORD got = 0;
    while (InternetReadFile(url.get(), block, sizeof block, &got) && got > 0)
        fwrite(block, 1, got, stdout);
    fflush(stdout);
    if (status != 200) {
        fprintf(stderr, "fetchurl: the server answered HTTP %lu\n", status);
        return 1;
    }
    return 0;
}
