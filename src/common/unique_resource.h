#pragma once
// A small, uncopyable owner for handles of every kind (files, kernel objects, registry keys, GDI
// objects, WinINet handles...). Each kind is described by a traits struct:
//
//   struct Traits {
//       using Type = ...;                      // the handle type
//       static Type Invalid() noexcept;        // the "no handle" value
//       static void Close(Type) noexcept;      // releases a valid handle
//   };
//
// The owner closes exactly once: copying is impossible, moving hands ownership over.

#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Closes the current handle (if any) and takes `value`.
    void reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = value_;
        value_ = value;
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

    // Gives the handle up without closing it.
    Type release() noexcept
    {
        Type value = value_;
        value_ = Traits::Invalid();
        return value;
    }

    // Closes the current handle and returns where a C API may store a new one.
    Type* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Type value_;
};
