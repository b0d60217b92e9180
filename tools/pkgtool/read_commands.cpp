// pkgtool list and pkgtool extract: a package seen and installed the way the installer does it.
#include "pkgtool/commands.h"

#include "common/file_system.h"
#include "package/entry_path.h"
#include "package/extract.h"
#include "package/lzma_step.h"
#include "package/package_body.h"
#include "package/package_container.h"
#include "package/package_key.h"
#include "pkgtool/progress_bar.h"
#include "pkgtool/tool_platform.h"

#include "common/unique_file.h"

#include <cstdio>
#include <vector>

namespace {

constexpr size_t kCopyChunk = 1 << 20;

// Removes a temporary file when the command ends.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!path_.empty())
            RemovePath(path_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The step's text ("\nError: Data error\n") as one line.
std::string OneLine(const char* text)
{
    std::string line;
    for (const char* c = text; *c; ++c) {
        if (*c != '\n' && *c != '\r')
            line += *c;
        else if (!line.empty() && line.back() != ' ')
            line += ' ';
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

bool CopyFile(const std::string& from, const std::string& to)
{
    UniqueStdioFile in(fopen(from.c_str(), "rb"));
    UniqueStdioFile out(fopen(to.c_str(), "wb"));
    if (!in || !out)
        return false;
    std::vector<char> chunk(kCopyChunk);
    size_t got;
    while ((got = fread(chunk.data(), 1, chunk.size(), in.get())) > 0) {
        if (fwrite(chunk.data(), 1, got, out.get()) != got)
            return false;
    }
    return !ferror(in.get()) && fclose(out.release()) == 0;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ExtractPackage's only debugger output says that the first decoding failed.
bool g_decodingFailed = false;
void NoteFailedDecoding(const char*) { g_decodingFailed = true; }

}  // namespace

int RunList(const std::string& package)
{
    if (KindOfPath(package) != PathKind::File)
        return Fail("cannot open " + package);
    std::string error;
    TemporaryFile intermediate(MakeTemporaryFile(&error));
    if (intermediate.path().empty())
        return Fail(error);

    char message[kLzmaMessageSize];
    PackageDirectory directory;
    int decoded = 0;
    {
        ProgressBar bar("reading");
        decoded = DecodeLzmaFile(package.c_str(), intermediate.path().c_str(), message);
        // The directory alone, read as the extraction reads it: the content is never held.
        PackageBody body;
        if (body.Open(PackagePassword, intermediate.path().c_str()))
            ReadPackageDirectory(body, directory);
    }
    // Like the installer, a package whose LZMA layer does not decode completely is refused.
    if (decoded != 0)
        return Fail(package + ": the installer refuses it: its LZMA layer does not decode (" + OneLine(message) + ")");
    if (directory.empty())
        return Fail(package + " holds no entries the installer can read");

    for (const PackageDirectoryEntry& entry : directory) {
        printf("%10lu %10lu  %s\n", static_cast<unsigned long>(entry.range.offset),
               static_cast<unsigned long>(entry.range.size), entry.key);
        if (ClassifyEntryPath(StripRootComponent(entry.key)) == EntryTarget::Refused)
            fprintf(stderr, "pkgtool: warning: the installer skips %s: its path is not a plain file below the "
                            "installation folder\n", entry.key);
    }
    return 0;
}

int RunExtract(const std::string& package, const std::string& folder)
{
    if (KindOfPath(package) != PathKind::File)
        return Fail("cannot open " + package);
    if (!MakeFolders(folder))
        return Fail("cannot create the folder " + folder);
    const std::string name = BaseName(package);
    const std::string copy = folder + NativeSeparator() + name;
    // The installer deletes the package it extracts: it works on a copy.
    if (SameFile(package, copy))
        return Fail(package + " lies in " + folder + " already; the extraction would delete it");
    if (!CopyFile(package, copy))
        return Fail("cannot copy " + package + " into " + folder);

    std::string installDir = folder;
    if (installDir.back() != '/' && installDir.back() != '\\')
        installDir += NativeSeparator();
    int result;
    ExtractReport failure;
    g_decodingFailed = false;
    {
        ProgressBar bar("extracting");
        BarProgressSink sink(bar);
        DebugOutputHook previous = SetDebugOutputHook(NoteFailedDecoding);
        result = ExtractPackage(sink, name.c_str(), installDir.c_str(), false, &failure);
        SetDebugOutputHook(previous);
    }
    if (result != 0)
        return Fail("the installer would fail to unpack " + package +
                    (g_decodingFailed ? ": its LZMA layer does not decode"
                                      : failure.failedFile[0] ? ": cannot write " + std::string(failure.failedFile)
                                                              : " (no usable entries)"));
    return 0;
}
