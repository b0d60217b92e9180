#pragma once
// The commands of pkgtool. Each prints its own one-line errors ("pkgtool: ...") and returns
// the exit status: 0 on success, 1 on failure.
#include "common/sha256.h"
#include "packing/package_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

struct PackOptions {
    std::string folder;
    std::string output;
    std::string root;               // the top-level folder name; "" for the folder's own name
    std::vector<std::string> nest;  // globs of files to pre-compress into nested ".7z" files
    int level = 6;                  // LZMA preset, 0..9
    PackageEncoding encoding = PackageEncoding::LzmaAlone;  // what every installer reads
};

// The encoding and which installers read it, for the commands' reports.
const char* EncodingReaders(PackageEncoding encoding);

// What a package holds and what the update list pins of it.
struct PackResult {
    uint64_t entries = 0;
    uint64_t contentLength = 0;  // the entries' bytes
    uint64_t size = 0;           // the package's own bytes
    uint8_t digest[kSha256Size] = {};  // its SHA-256
};

// Packs as `pkgtool pack` does, saying why on standard error when it cannot.
bool PackFolder(const PackOptions& options, PackResult* result);

int RunPack(const PackOptions& options);
int RunList(const std::string& package);
int RunExtract(const std::string& package, const std::string& folder);
int RunKeygen(const std::string& privateKeyPath);
// `game`: the installer's product name, in UTF-8, which signatures are made for.
int RunSign(const std::string& privateKeyPath, const std::string& game, const std::vector<std::string>& files);
int RunVerify(const std::string& publicKeyPath, const std::string& game, const std::vector<std::string>& files);
int RunRelease(const std::string& description, const std::string& game, const std::string& site);
// Fetches the site whose configuration is at `address` as the installer does and reports on it
// (POSIX builds; libcurl); with a public key, its signatures for `game`.
int RunCheck(const std::string& address, const std::string& publicKeyPath, const std::string& game, bool full);

// "pkgtool: <message>" on standard error; returns 1.
int Fail(const std::string& message);
