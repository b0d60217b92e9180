#pragma once
// Shared by the two platform halves of the file door (file_system_win32.cpp and
// file_system_posix.cpp): the bookkeeping of the fault switches.

#include <cstdint>

// How many of `size` bytes the next read may ask for; false when the read must fail instead.
bool PlanRead(uint32_t size, uint32_t* allowed);
// Books `got` bytes as read.
void BookRead(uint32_t got);

// How many of `size` bytes the next write may store (fewer once the "disk" is full).
uint32_t PlanWrite(uint32_t size);
// Books `written` bytes as written.
void BookWrite(uint32_t written);

// The platform's debugger output, used when no hook is installed.
void WritePlatformDebugOutput(const char* text);
