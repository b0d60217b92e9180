#pragma once
// The process-wide map from a window handle to its fgWin32Dialog, through which the one window
// procedure finds the object of each window. Created on first use, discarded as a whole by the
// entry point after the message loop. Window thread only: no lock.
#include <windows.h>

#include <cstdint>
#include <map>

class fgWin32Dialog;

class WindowRegistry {
public:
    // Inserts or replaces the entry of `window`. A null object is never inserted.
    static void Insert(HWND window, fgWin32Dialog* dialog);
    // The object of `window`, or nullptr.
    static fgWin32Dialog* Find(HWND window);
    static void Erase(HWND window);
    // Drops the whole map; the next use starts an empty one.
    static void Discard();
    // Whether the map exists now (it is created by the first lookup or insertion).
    static bool Exists() { return map_ != nullptr; }

private:
    // Window handles are compared as unsigned 32-bit values.
    using Map = std::map<uint32_t, fgWin32Dialog*>;
    static Map& Get();
    static uint32_t Key(HWND window)
    {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    }
    static Map* map_;
};
