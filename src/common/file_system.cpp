// The platform-independent half of the file door: fault switches, the debugger-output hook and
// file buffers.
#include "common/file_system.h"
#include "common/file_system_internal.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::atomic<DebugOutputHook> g_debugHook{nullptr};

// The switches and what is left of their budgets. `g_faultsOn` keeps the lock off the normal path.
std::atomic<bool> g_faultsOn{false};
std::mutex g_faultMutex;
FileFaults g_faults;

// Takes `bytes` from a budget of the switches; UINT64_MAX stands for no limit.
void Spend(uint64_t& budget, uint32_t bytes)
{
    if (budget != UINT64_MAX)
        budget -= std::min<uint64_t>(bytes, budget);
}

}  // namespace

void SetFileFaults(const FileFaults& faults)
{
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults = faults;
    g_faultsOn = true;
}

void ClearFileFaults()
{
    std::lock_guard<std::mutex> lock(g_faultMutex);
    g_faults = FileFaults();
    g_faultsOn = false;
}

bool PlanRead(uint32_t size, uint32_t* allowed)
{
    *allowed = size;
    if (!g_faultsOn)
        return true;
    std::lock_guard<std::mutex> lock(g_faultMutex);
    if (g_faults.readableBytes == 0 && size > 0)
        return false;
    uint64_t limit = std::min<uint64_t>(g_faults.readableBytes, g_faults.readChunk);
    *allowed = static_cast<uint32_t>(std::min<uint64_t>(size, limit));
    return true;
}

void BookRead(uint32_t got)
{
    if (!g_faultsOn)
        return;
    std::lock_guard<std::mutex> lock(g_faultMutex);
    Spend(g_faults.readableBytes, got);
}

uint32_t PlanWrite(uint32_t size)
{
    if (!g_faultsOn)
        return size;
    std::lock_guard<std::mutex> lock(g_faultMutex);
    return static_cast<uint32_t>(std::min<uint64_t>(size, g_faults.writableBytes));
}

void BookWrite(uint32_t written)
{
    if (!g_faultsOn)
        return;
    std::lock_guard<std::mutex> lock(g_faultMutex);
    Spend(g_faults.writableBytes, written);
}

void* AllocateMemory(size_t size)
{
    if (g_faultsOn) {
        std::lock_guard<std::mutex> lock(g_faultMutex);
        if (size > g_faults.allocationLimit)
            return nullptr;
    }
    // malloc(0) may give nullptr, which would read as a failure.
    return malloc(size > 0 ? size : 1);
}

void WriteDebugOutput(const char* text)
{
    DebugOutputHook hook = g_debugHook.load();
    if (hook)
        hook(text);
    else
        WritePlatformDebugOutput(text);
}

DebugOutputHook SetDebugOutputHook(DebugOutputHook hook) { return g_debugHook.exchange(hook); }
