// The C++ runtime pieces the installer links instead of libstdc++'s exception machinery.
//
// Nothing in the installer throws or catches (it is built with -fno-exceptions, src/CMakeLists.txt),
// yet the library code it uses (std::string and std::map for the package directory, std::mutex,
// std::call_once, operator new) would report its rare failures by throwing. The throw would end in
// std::terminate, as no code catches, but only after linking the thrower, the unwinder, the
// verbose terminate handler and the name demangler: about 150 KB, a fifth of the executable that
// every player downloads. Here the same failures end the process at once, as the uncaught
// exception would have.
//
// The std::__throw_* functions are libstdc++'s out-of-line throw helpers (bits/functexcept.h).
// This file defines every one of them, so the archive member that holds libstdc++'s own copies is
// never needed. If some new library use pulls it in after all, the linker stops with "multiple
// definition of std::__throw_...", rather than the size growing unnoticed.
#include <cstdlib>
#include <new>

namespace {
[[noreturn]] void Fail() { abort(); }
}  // namespace

namespace std {
void __throw_bad_exception() { Fail(); }
void __throw_bad_alloc() { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
void __throw_bad_cast() { Fail(); }
void __throw_bad_typeid() { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_domain_error(const char*) { Fail(); }
void __throw_invalid_argument(const char*) { Fail(); }
void __throw_length_error(const char*) { Fail(); }
void __throw_out_of_range(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_runtime_error(const char*) { Fail(); }
void __throw_range_error(const char*) { Fail(); }
void __throw_overflow_error(const char*) { Fail(); }
void __throw_underflow_error(const char*) { Fail(); }
void __throw_system_error(int) { Fail(); }
}  // namespace std

// Replacements of the global allocation functions (allowed by the standard): the throwing forms
// end the process where they would have thrown std::bad_alloc, the nothrow forms give nullptr.
void* operator new(std::size_t size)
{
    void* p = malloc(size ? size : 1);
    if (!p)
        Fail();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }
