// pkgtool check: a live site fetched as the installer fetches it, a line for each thing that
// would fail a player's installation. Run from the publisher's release pipeline, after the upload.
//
// What the server sends is hostile until checked: the configuration and the list are capped,
// signatures at one byte more than a signature, and the package is only looked at (its head, a
// Range answer) unless --full streams it through SHA-256.
#include "pkgtool/commands.h"

#include "common/number_text.h"
#include "common/profile_text.h"
#include "packing/site_signature.h"
#include "pkgtool/site_fetch.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr size_t kValueLimit = 259;        // [setup] and [list0] values: 260-byte buffers
constexpr size_t kListAddressLimit = 998;  // [config] values: 999-byte buffers
constexpr long kHttpOk = 200;
constexpr long kHttpPartialContent = 206;
constexpr int kActionCommand = 1;
constexpr int kActionDownload = 2;

// The pins of a signed list: the package's size and SHA-256.
struct Pin {
    uint64_t size = 0;
    uint8_t digest[kSha256Size] = {};
};

// The bytes of a fetched file, read as the installer reads them.
ProfileText TextOf(const std::string& bytes)
{
    ProfileText text;
    text.Assign(bytes.data(), bytes.size());
    return text;
}

// The value of `key` in `section`, quotes removed; nullopt when there is no such key.
std::optional<std::string> Value(const ProfileText& file, const char* section, const char* key)
{
    const char* value = nullptr;
    size_t length = 0;
    if (!file.Find(section, key, &value, &length))
        return std::nullopt;
    return std::string(value, length);
}

// True when `text` holds bytes above 0x7F that all form UTF-8 sequences: a text saved as UTF-8,
// which the installer, reading GBK, shows garbled.
bool LooksLikeUtf8(const std::string& text)
{
    bool wide = false;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t j = 1; j < length; ++j) {
            if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80)
                return false;
        }
        wide = wide || length > 1;
        i += length;
    }
    return wide;
}

class SiteCheck {
public:
    SiteCheck(const std::string& address, const std::string& keyPath, const std::string& game, bool full)
        : configUrl_(address.back() == '/' ? address + "update/tarnhold.txt" : address),
          keyPath_(keyPath),
          game_(game),
          full_(full)
    {
    }

    int Run()
    {
        std::string error;
        if (!keyPath_.empty() && !LoadPublicKey(keyPath_, key_, &error))
            return Fail(error);
        if (!client_.ready())
            return Fail("libcurl could not be set up");
        std::optional<std::string> config = FetchSmall("configuration", configUrl_);
        if (!config)
            return 1;
        const ProfileText setup = TextOf(*config);
        const std::string listUrl = CheckConfiguration(setup);
        CheckSignature(SignedRole::Configuration, configUrl_, *config, setup);
        std::optional<std::string> list = listUrl.empty() ? std::nullopt : FetchSmall("update list", listUrl);
        if (!list)
            return 1;
        Ok("update list " + listUrl + " answers");
        const ProfileText steps = TextOf(*list);
        CheckListPin(setup, *list);
        CheckSignature(SignedRole::UpdateList, listUrl, *list, steps);
        CheckList(steps);
        return failed_ ? 1 : 0;
    }

private:
    void Line(const char* mark, const std::string& text) { printf("%-5s %s\n", mark, text.c_str()); }
    void Ok(const std::string& text) { Line("ok", text); }
    void Skip(const std::string& text) { Line("skip", text); }
    void Failed(const std::string& text)
    {
        Line("FAIL", text);
        failed_ = true;
    }

    // A configuration, list or signature: only a whole 200 answer is the file.
    std::optional<std::string> FetchSmall(const char* what, const std::string& url, uint64_t limit = kSignedFileLimit)
    {
        SiteRequest request;
        request.limit = limit;
        SiteAnswer answer = client_.Get(url, request);
        const std::string where = std::string(what) + " " + url;
        if (!answer.answered || !answer.error.empty())
            Failed(where + ": " + (answer.answered ? "answers " + std::to_string(answer.status) + ", then " : "") +
                   answer.error);
        else if (answer.status != kHttpOk)
            Failed(where + " answers " + std::to_string(answer.status) +
                   " (the installer would take the page it sends for the file)");
        else if (answer.tooLarge)
            Failed(where + " sends more than " + std::to_string(limit) + " bytes, more than any " + what + " holds");
        else
            return answer.body;
        return std::nullopt;
    }

    // The address of the update list, "" when it has none.
    std::string CheckConfiguration(const ProfileText& file)
    {
        const char* where = "configuration: ";
        bool good = true;
        if (!file.HasSection("setup")) {
            Failed(std::string(where) + "no [setup] section");
            good = false;
        }
        for (const char* key : {"gamename", "exefilename", "ProductTitle", "uninstname"}) {
            const std::optional<std::string> value = Value(file, "setup", key);
            if (!value || value->empty())
                good = Problem(where, std::string(key) + " is missing: the installer needs it");
            else if (value->size() > kValueLimit)
                good = Problem(where, std::string(key) + " is longer than the installer reads (259 bytes)");
        }
        for (const char* key : {"gamename", "ProductTitle", "Publisher", "Contact"}) {
            const std::optional<std::string> value = Value(file, "setup", key);
            if (value && LooksLikeUtf8(*value))
                good = Problem(where, std::string(key) + " is UTF-8 text; the installer reads GBK and shows it garbled");
        }
        if (file.ReadInt("setup", "size", -1) < 0)
            good = Problem(where, "size is missing or negative: the installer rejects the file and tries its next address");
        std::optional<std::string> list = Value(file, "config", "1.0");
        if (!list || list->empty())
            list = Value(file, "config", "other");
        if (!list || list->empty()) {
            good = Problem(where, "[config] names no update list (neither 1.0 nor other)");
            list = "";
        } else if (list->size() > kListAddressLimit) {
            good = Problem(where, "the update list's address is longer than the installer reads (998 bytes)");
        }
        if (good)
            Ok("configuration " + configUrl_ + ": every field the installer needs");
        return *list;
    }

    bool Problem(const char* where, const std::string& text)
    {
        Failed(where + text);
        return false;
    }

    // With a key: the signature beside the file, and its expires date.
    void CheckSignature(SignedRole role, const std::string& url, const std::string& bytes, const ProfileText& file)
    {
        const std::string what = SiteFileRoleName(role);
        if (keyPath_.empty()) {
            Skip(what + " signature: not checked (give --key KEY.pub)");
            return;
        }
        std::optional<std::string> signature = FetchSmall((what + " signature").c_str(), url + ".sig", kSignatureSize + 1);
        if (!signature)
            return;
        std::string error;
        if (CheckSiteFileSignature(key_, role, game_, bytes, *signature, &error) != SignatureCheck::Good) {
            Failed(what + " " + url + ": " + error);
            return;
        }
        // The date as the installer judges it.
        const long today = TodayUtc();
        CalendarDate expires;
        const Expiry expiry = CheckExpiry(file, role, today, &expires);
        const long days = expiry == Expiry::Valid || expiry == Expiry::Past ? DayNumber(expires) - today : 0;
        if (expiry == Expiry::Missing)
            Failed(what + " signature good, but the file has no expires date: an old copy could be served for ever");
        else if (expiry == Expiry::Malformed)
            Failed(what + " expires=" + Value(file, SignedRoleSection(role), "expires").value_or("") +
                   " is no date (YYYY-MM-DD): the installer takes it as past");
        else if (expiry == Expiry::Past)
            Failed(what + " expired on " + DateText(expires) + ", " + std::to_string(-days) + " days ago: sign it again");
        else
            Ok(what + " signature good (" + keyPath_ + "); expires " + DateText(expires) + ", " + std::to_string(days) +
               " days left" + (days < kExpiryWarningDays ? ": sign it again soon" : ""));
    }

    // The configuration's pin of the list: an installer with keys takes no other list.
    void CheckListPin(const ProfileText& config, const std::string& list)
    {
        const char* key = Value(config, "config", "1.0").value_or("").empty() ? "other.sha256" : "1.0.sha256";
        const std::optional<std::string> pin = Value(config, "config", key);
        if (!pin || pin->empty())
            return Skip(std::string("update list pin: the configuration has no ") + key +
                        " (pkgtool release writes it), so an older signed list could be served beside it");
        uint8_t pinned[kSha256Size], digest[kSha256Size];
        Sha256 hash;
        hash.Update(list.data(), list.size());
        hash.Final(digest);
        if (!DecodeHex(pin->data(), pin->size(), pinned, kSha256Size))
            Failed(std::string("configuration: ") + key + " is no SHA-256 (64 hex digits): an installer with keys "
                                                         "refuses every list");
        else if (memcmp(pinned, digest, kSha256Size) != 0)
            Failed("update list SHA-256 " + LowerHex(digest, kSha256Size) + " is not the configuration's " + key +
                   ": an installer with keys refuses it (an old copy of the list, or of the configuration?)");
        else
            Ok(std::string("update list is the one the configuration pins (") + key + ")");
    }

    void CheckList(const ProfileText& file)
    {
        const long action = file.ReadInt("list0", "action", -1);
        const std::string source = Value(file, "list0", "srcfile").value_or("");
        const std::string dest = Value(file, "list0", "destfile").value_or("");
        const std::string cmd = Value(file, "list0", "cmd").value_or("");
        bool good = true;
        if (action < 0) {
            Failed("update list: [list0] has no action: the installer stops");
            return;
        }
        if ((action & kActionDownload) && (source.empty() || dest.empty()))
            good = Problem("update list: ", "a download (action 2) without srcfile and destfile");
        if ((action & kActionCommand) && cmd != "DEC")
            good = Problem("update list: ", "cmd is \"" + cmd + "\", not DEC, the one command the installer knows");
        if (source.size() > kValueLimit || dest.size() > kValueLimit)
            good = Problem("update list: ", "srcfile or destfile is longer than the installer reads (259 bytes)");
        std::optional<Pin> pin = ReadPin(file);
        std::vector<std::string> mirrors;
        for (int i = 1; i <= 4; ++i) {
            const std::string mirror = Value(file, "list0", ("mirror" + std::to_string(i)).c_str()).value_or("");
            if (mirror.size() > kValueLimit)
                good = Problem("update list: ", "mirror" + std::to_string(i) + " is longer than the installer reads (259 bytes)");
            else if (!mirror.empty())
                mirrors.push_back(mirror);
        }
        if (!pin && !keyPath_.empty() && (action & kActionDownload))
            good = Problem("update list: ", "no size= and sha256= pins: an installer with keys refuses the list");
        else if (!pin && !mirrors.empty() && (action & kActionDownload))
            good = Problem("update list: ", "mirrors without size= and sha256= pins: every installer refuses the list");
        if (!keyPath_.empty() && action != 0 && !(action & kActionDownload))
            good = Problem("update list: ", "action " + std::to_string(action) +
                                                " downloads nothing: an installer with keys installs only what it "
                                                "downloaded and checked, and refuses the list");
        if (good)
            Ok("update list: action " + std::to_string(action) + (pin ? ", the package pinned" : ", nothing pinned") +
               (mirrors.empty() ? "" : ", " + std::to_string(mirrors.size()) + " mirrors"));
        if (!(action & kActionDownload))
            return;
        if (!source.empty())
            CheckPackage("package", source, pin);
        for (size_t i = 0; i < mirrors.size(); ++i)
            CheckPackage("mirror" + std::to_string(i + 1), mirrors[i], pin);
    }

    std::optional<Pin> ReadPin(const ProfileText& file) const
    {
        const std::string size = Value(file, "list0", "size").value_or("");
        const std::string sha = Value(file, "list0", "sha256").value_or("");
        Pin pin;
        const char* end = nullptr;
        if (!ParseDecimal(size.c_str(), &end, &pin.size) || *end != '\0' ||
            !DecodeHex(sha.data(), sha.size(), pin.digest, kSha256Size))
            return std::nullopt;
        return pin;
    }

    // The package at `url`: srcfile ("package") or a mirror.
    void CheckPackage(const std::string& what, const std::string& url, const std::optional<Pin>& pin)
    {
        SiteRequest head;
        head.use = BodyUse::Skip;
        SiteAnswer answer = client_.Get(url, head);
        const std::string where = what + " " + url;
        if (!answer.answered)
            return Failed(where + ": " + answer.error);
        if (answer.status != kHttpOk)
            return Failed(where + " answers " + std::to_string(answer.status));
        if (answer.contentLength < 0)
            return Failed(where + " answers without a Content-Length: the installer cannot tell a broken download");
        const uint64_t length = static_cast<uint64_t>(answer.contentLength);
        if (!pin) {
            Ok(where + " answers with Content-Length " + std::to_string(length) + " (the list pins no size)");
            return Skip(what + " Range and SHA-256: only a pinned package is resumed and hashed");
        }
        if (length != pin->size)
            return Failed(where + " answers with Content-Length " + std::to_string(length) + " where the list pins " +
                          std::to_string(pin->size));
        Ok(where + " answers with Content-Length " + std::to_string(length) + ", as pinned");
        CheckRange(what, url, pin->size);
        CheckDigest(what, url, *pin);
    }

    // The installer resumes a broken pinned download from the byte it has.
    void CheckRange(const std::string& what, const std::string& url, uint64_t size)
    {
        SiteRequest resume;
        resume.use = BodyUse::Skip;
        resume.from = size / 2;
        if (resume.from == 0)
            return Skip(what + " Range: too small to resume");
        SiteAnswer answer = client_.Get(url, resume);
        uint64_t first = 0, total = 0;
        const std::string asked = what + " Range from byte " + std::to_string(resume.from);
        if (!answer.answered)
            Failed(asked + ": " + answer.error);
        else if (answer.status == kHttpOk)
            Failed(asked + " gives 200 and the whole file: a broken download starts over from its first byte");
        else if (answer.status != kHttpPartialContent || !ParseContentRange(answer.contentRange.c_str(), &first, &total) ||
                 first != resume.from || total != size)
            Failed(asked + " gives " + std::to_string(answer.status) + " with Content-Range \"" + answer.contentRange +
                   "\": the installer cannot resume from it");
        else
            Ok(asked + " gives 206: a broken download resumes");
    }

    void CheckDigest(const std::string& what, const std::string& url, const Pin& pin)
    {
        if (!full_)
            return Skip(what + " SHA-256: not checked (--full downloads the package)");
        Sha256 hash;
        SiteRequest whole;
        whole.use = BodyUse::Hash;
        whole.limit = pin.size;
        whole.hash = &hash;
        SiteAnswer answer = client_.Get(url, whole);
        uint8_t digest[kSha256Size];
        hash.Final(digest);
        if (!answer.complete || answer.received != pin.size)
            Failed(what + " download: " + std::to_string(answer.received) + " of " + std::to_string(pin.size) +
                   " bytes" + (answer.tooLarge ? " and more" : "") + (answer.error.empty() ? "" : ": " + answer.error));
        else if (memcmp(digest, pin.digest, kSha256Size) != 0)
            Failed(what + " SHA-256 " + LowerHex(digest, kSha256Size) + " is not the pinned one: players' downloads fail");
        else
            Ok(what + " SHA-256 matches the pin");
    }

    const std::string configUrl_;
    const std::string keyPath_;
    const std::string game_;  // the installer's product name the signatures are for
    const bool full_;
    uint8_t key_[kPublicKeySize] = {};
    SiteClient client_;
    bool failed_ = false;
};

}  // namespace

int RunCheck(const std::string& address, const std::string& publicKeyPath, const std::string& game, bool full)
{
    return SiteCheck(address, publicKeyPath, game, full).Run();
}
