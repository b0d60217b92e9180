#pragma once
// DLLs that are no KnownDLLs (WinINet, winmm, GDI+, bcrypt) are never imported: a static import
// is looked up beside the executable, in a downloads folder that anybody can write to, before
// WinMain could restrict the search. They are loaded here instead, by their full path in the
// system directory, and their functions are looked up by name. The function pointer types come
// from the SDK's own declarations (decltype), so they carry the DLL's calling convention: stdcall
// on i686, where a wrong one would corrupt the stack at the first call.
#include <windows.h>

// "<system directory>\<fileName>", with its imports from the system directory too; nullptr when it
// cannot be loaded.
HMODULE LoadSystemLibrary(const char* fileName);

// Looks `name` up in `module` into `function` (of the function's own pointer type). False, with
// `function` null, when the module lacks it.
template <typename F>
bool ResolveFunction(HMODULE module, const char* name, F& function)
{
    function = module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    return function != nullptr;
}
