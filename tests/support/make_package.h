#pragma once
// A package as the publisher's tool makes it, for tests that install one: entry table and bytes,
// AES under the built-in password's key, LZMA-alone or .xz. Header only: tests that include it
// link vellora_packing (tools/packing).
#include "packing/package_encoder.h"
#include "packing/package_sealer.h"

#include <string>
#include <utility>
#include <vector>

// Entry name (top-level folder first, backslashes) and its bytes.
using PackageFile = std::pair<std::string, std::string>;

// The package's container, its LZMA layer decoded (the extraction's intermediate file), or ""
// when the entries do not fit it.
inline std::string MakeContainer(const std::vector<PackageFile>& files)
{
    std::vector<TableEntry> table;
    for (const PackageFile& f : files)
        table.push_back({f.first, static_cast<uint32_t>(f.second.size())});
    std::string content;
    uint32_t contentLength = 0;
    if (!BuildEntryTable(table, &content, &contentLength))
        return "";
    for (const PackageFile& f : files)
        content += f.second;
    return SealContent(content, contentLength);
}

// .xz blocks of a test's package: small, so that even a small package holds many, as a game does.
constexpr uint32_t kTestXzBlockSize = 16 << 10;

// The package's bytes, or "" when the entries do not fit the container.
inline std::string MakePackage(const std::vector<PackageFile>& files,
                               PackageEncoding encoding = PackageEncoding::LzmaAlone)
{
    const std::string container = MakeContainer(files);
    return container.empty() ? "" : EncodePackageFile(container, encoding, 6, kTestXzBlockSize);
}
