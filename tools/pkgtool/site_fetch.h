#pragma once
// pkgtool check's HTTP, through libcurl: GET requests as the installer sends them ("Accept: */*",
// an "Agent<number>" user agent, no caches), redirects followed as WinINet follows them, https
// certificates checked against the system's trust store.
//
// Everything a server sends is bounded: what is kept is capped, a head alone is read without its
// body, a package is hashed as it streams and never kept, and a server that stalls or trickles is
// given up on.
#include "common/sha256.h"

#include <cstdint>
#include <string>

enum class BodyUse {
    Keep,  // the body, up to `limit` bytes: a larger one is refused
    Skip,  // the answer's head alone
    Hash,  // the body through `hash`, up to `limit` bytes
};

struct SiteRequest {
    BodyUse use = BodyUse::Keep;
    uint64_t limit = 0;
    uint64_t from = 0;       // a Range request from this byte on, when above 0
    Sha256* hash = nullptr;  // for BodyUse::Hash
};

struct SiteAnswer {
    bool answered = false;        // a head came; otherwise `error` says why not
    long status = 0;
    int64_t contentLength = -1;   // -1: none given
    std::string contentRange;     // "" when none
    std::string body;             // BodyUse::Keep
    uint64_t received = 0;        // body bytes taken
    bool complete = false;        // the body came to its end (Keep, Hash)
    bool tooLarge = false;        // the body passed `limit`
    std::string error;            // why no answer, or why the body broke off
};

// One client for a run: libcurl set up once, its connections reused from request to request.
class SiteClient {
public:
    SiteClient();
    ~SiteClient();
    SiteClient(const SiteClient&) = delete;
    SiteClient& operator=(const SiteClient&) = delete;

    bool ready() const { return handle_ != nullptr; }
    SiteAnswer Get(const std::string& url, const SiteRequest& request);

private:
    void* handle_;
};
