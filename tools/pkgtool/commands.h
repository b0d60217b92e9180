#pragma once
// The commands of pkgtool. Each prints its own one-line errors ("pkgtool: ...") and returns
// the exit status: 0 on success, 1 on failure.
#include <string>
#include <vector>

struct PackOptions {
    std::string folder;
    std::string output;
    std::string root;               // the top-level folder name; "" for the folder's own name
    std::vector<std::string> nest;  // globs of files to pre-compress into nested ".7z" files
    int level = 6;                  // LZMA preset, 0..9
};

int RunPack(const PackOptions& options);
int RunList(const std::string& package);
int RunExtract(const std::string& package, const std::string& folder);
int RunKeygen(const std::string& privateKeyPath);
int RunSign(const std::string& privateKeyPath, const std::vector<std::string>& files);
int RunVerify(const std::string& publicKeyPath, const std::vector<std::string>& files);

// "pkgtool: <message>" on standard error; returns 1.
int Fail(const std::string& message);
