#ifdef _WIN32
#include <winsock2.h>

#include "support/config_slot_server.h"

#include <cstring>

int ConfigSlotPort(int slot) { return VELLORA_CONFIG_SLOT_PORT + slot; }

ConfigSlotServer::ConfigSlotServer(int slot, std::string body, std::string signature)
    : body_(std::move(body)), signature_(std::move(signature))
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return;
    // The previous test's connections on this port may still linger.
    BOOL reuse = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(ConfigSlotPort(slot)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 8) != 0) {
        closesocket(listener);
        return;
    }
    listener_ = listener;
    listening_ = true;
    thread_ = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
}

ConfigSlotServer::~ConfigSlotServer()
{
    stopping_ = true;
    if (thread_) {
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
    if (listening_)
        closesocket(static_cast<SOCKET>(listener_));
    WSACleanup();
}

DWORD WINAPI ConfigSlotServer::Serve(LPVOID self)
{
    auto* server = static_cast<ConfigSlotServer*>(self);
    while (!server->stopping_) {
        // Short waits, so that the destructor never waits on a blocked accept.
        fd_set ready;
        FD_ZERO(&ready);
        const SOCKET listener = static_cast<SOCKET>(server->listener_);
        FD_SET(listener, &ready);
        timeval wait = {0, 50000};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0)
            continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        server->Answer(client);
        closesocket(client);
    }
    return 0;
}

void ConfigSlotServer::Answer(uintptr_t socketValue)
{
    const SOCKET client = static_cast<SOCKET>(socketValue);
    DWORD timeoutMs = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    std::string request;
    char block[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        int got = recv(client, block, sizeof block, 0);
        if (got <= 0)
            return;
        request.append(block, got);
    }
    ++requests_;
    const size_t target = request.find(' ') + 1;
    const std::string path = request.substr(target, request.find(' ', target) - target);
    const bool signature = path.size() > 4 && path.compare(path.size() - 4, 4, ".sig") == 0;
    const std::string& answer = signature ? signature_ : body_;
    const char* status = signature && signature_.empty() ? "404 Not Found" : "200 OK";
    const std::string response = std::string("HTTP/1.0 ") + status +
                                 "\r\nContent-Type: text/plain\r\nContent-Length: " +
                                 std::to_string(answer.size()) + "\r\n\r\n" + answer;
    send(client, response.data(), static_cast<int>(response.size()), 0);
    // The client closes first, so the port is not left waiting on this side.
    shutdown(client, SD_SEND);
    while (recv(client, block, sizeof block, 0) > 0) {
    }
}
#endif
