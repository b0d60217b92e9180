#pragma once
// Owner of a C runtime FILE*.
#include "common/unique_resource.h"

#include <cstdio>

struct StdioFileTraits {
    using Type = FILE*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type f) noexcept { fclose(f); }
};
using UniqueStdioFile = UniqueResource<StdioFileTraits>;
