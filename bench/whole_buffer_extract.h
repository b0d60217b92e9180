#pragma once
// The extraction as it was before it read the package a chunk at a time: the whole intermediate
// file's body read into one buffer, decrypted there, the table parsed from it and every entry
// written in one call straight from it. Kept for the benchmark alone, to compare against
// ExtractPackage on the same package: a 32-bit process cannot run it past a few hundred MB.
#include <string>

// Decodes `package` into `intermediate`, then writes its entries below `folder` (no trailing
// separator). False on any failure, including a body the memory cannot hold.
bool WholeBufferExtract(const std::string& package, const std::string& intermediate, const std::string& folder);
