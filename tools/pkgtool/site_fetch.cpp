#include "pkgtool/site_fetch.h"

#include <curl/curl.h>

#include <chrono>

namespace {

constexpr long kConnectSeconds = 20;
constexpr long kStallSeconds = 60;  // the installer's limit for a pause in a body
constexpr long kSmallFileSeconds = 120;
constexpr long kMaxRedirects = 5;

struct Transfer {
    const SiteRequest& request;
    SiteAnswer& answer;
};

size_t TakeBody(char* data, size_t size, size_t count, void* user)
{
    Transfer& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (t.request.use == BodyUse::Skip)
        return CURL_WRITEFUNC_ERROR;  // the head is all that was wanted
    if (bytes > t.request.limit - t.answer.received) {
        t.answer.tooLarge = true;
        return CURL_WRITEFUNC_ERROR;
    }
    t.answer.received += bytes;
    if (t.request.use == BodyUse::Keep)
        t.answer.body.append(data, bytes);
    else
        t.request.hash->Update(data, bytes);
    return bytes;
}

// Names what went wrong, certificate problems first among them: those are the ones a publisher
// must mend on the server, and libcurl's detail says which (self-signed, expired, wrong name).
std::string Why(CURLcode code, const char* detail)
{
    const std::string text = detail[0] != '\0' ? detail : curl_easy_strerror(code);
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
        return "https certificate not trusted: " + text;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return "https failed: " + text;
    case CURLE_OPERATION_TIMEDOUT:
        return "no answer in time: " + text;
    default:
        return text;
    }
}

}  // namespace

SiteClient::SiteClient() : handle_(nullptr)
{
    if (curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK)
        handle_ = curl_easy_init();
}

SiteClient::~SiteClient()
{
    if (handle_)
        curl_easy_cleanup(static_cast<CURL*>(handle_));
    curl_global_cleanup();
}

SiteAnswer SiteClient::Get(const std::string& url, const SiteRequest& request)
{
    CURL* curl = static_cast<CURL*>(handle_);
    SiteAnswer answer;
    Transfer transfer{request, answer};
    char detail[CURL_ERROR_SIZE] = {};
    // The installer's user agent is "Agent" and a millisecond timer.
    const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch()).count();
    const std::string agent = "Agent" + std::to_string(static_cast<long>(ticks));
    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    const std::string range = std::to_string(request.from) + "-";

    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    if (request.use != BodyUse::Hash)
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, kSmallFileSeconds);
    if (request.from > 0)
        curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, TakeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    answer.answered = answer.status != 0;
    curl_off_t length = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        answer.contentLength = length;
    curl_header* header = nullptr;
    if (curl_easy_header(curl, "Content-Range", 0, CURLH_HEADER, -1, &header) == CURLHE_OK)
        answer.contentRange = header->value;
    answer.complete = code == CURLE_OK;
    const bool skipped = request.use == BodyUse::Skip && code == CURLE_WRITE_ERROR;
    if (!answer.complete && !skipped && !answer.tooLarge)
        answer.error = Why(code, detail);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(headers);
    return answer;
}
