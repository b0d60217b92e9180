#include "ui/window_registry.h"

WindowRegistry::Map* WindowRegistry::map_ = nullptr;

WindowRegistry::Map& WindowRegistry::Get()
{
    if (!map_)
        map_ = new Map();
    return *map_;
}

void WindowRegistry::Insert(HWND window, fgWin32Dialog* dialog)
{
    if (!dialog)
        return;
    Get()[Key(window)] = dialog;
}

fgWin32Dialog* WindowRegistry::Find(HWND window)
{
    Map& map = Get();
    auto entry = map.find(Key(window));
    return entry == map.end() ? nullptr : entry->second;
}

void WindowRegistry::Erase(HWND window) { Get().erase(Key(window)); }

void WindowRegistry::Discard()
{
    delete map_;
    map_ = nullptr;
}
