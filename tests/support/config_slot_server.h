#pragma once
// Stand-ins for the built-in configuration servers of the installer that tests build: each slot's
// address is http://127.0.0.1:<port>/update/tarnhold.txt with a port fixed per build tree
// (VELLORA_CONFIG_SLOT_PORT, port + 1, port + 2), so build trees side by side never share one.
// A slot without a ConfigSlotServer refuses connections, as a server that is down does.
// Tests that start an installer hold DesktopLock, so the ports are theirs for the time being.
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

int ConfigSlotPort(int slot);

// Plain HTTP/1.0 on 127.0.0.1 at the port of `slot` (0..2): every GET is answered with `body`,
// but one for an address ending in ".sig", which gets `signature` (404 when it is empty).
class ConfigSlotServer {
public:
    ConfigSlotServer(int slot, std::string body, std::string signature = "");
    ~ConfigSlotServer();
    ConfigSlotServer(const ConfigSlotServer&) = delete;
    ConfigSlotServer& operator=(const ConfigSlotServer&) = delete;

    bool listening() const { return listening_; }
    // Requests answered so far.
    int requests() const { return requests_.load(); }

private:
    static DWORD WINAPI Serve(LPVOID self);
    void Answer(uintptr_t client);

    std::string body_, signature_;
    uintptr_t listener_ = 0;  // a SOCKET
    bool listening_ = false;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
};
#endif
