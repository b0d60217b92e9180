// pkgtool keygen, sign and verify: the publisher's signing key pair and the ".sig" files that the
// installer checks its configuration and update lists against.
#include "pkgtool/commands.h"

#include "packing/publisher_keys.h"
#include "packing/site_signature.h"
#include "pkgtool/tool_platform.h"

#include <cstdio>

namespace {

// Wipes a private key's text however the command ends.
class SecretText {
public:
    explicit SecretText(std::string text) : text_(std::move(text)) {}
    ~SecretText()
    {
        if (!text_.empty())
            WipeSecret(&text_[0], text_.size());
    }
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace

int RunKeygen(const std::string& privateKeyPath)
{
    const std::string publicKeyPath = privateKeyPath + kPublicKeySuffix;
    for (const std::string& path : {privateKeyPath, publicKeyPath}) {
        if (KindOfPath(path) != PathKind::Missing)
            return Fail(path + " exists already; pkgtool never overwrites a key (installers built with it would "
                               "refuse everything signed by a new one)");
    }
    PrivateKey key;
    std::string error;
    if (!GenerateKeyPair(&key, &error))
        return Fail(error);
    SecretText privateText(FormatPrivateKey(key));
    // What is written must load: a key that does not would only show when signing.
    PrivateKey reread;
    if (!ParsePrivateKey(privateText.text(), &reread, &error))
        return Fail("the new key does not load: " + error);

    if (!CreateNewFile(privateKeyPath, privateText.text(), true, &error))
        return Fail(error);
    if (!CreateNewFile(publicKeyPath, FormatPublicKey(key.publicKey), false, &error)) {
        RemovePath(privateKeyPath);  // alone, it would make every later keygen of this name refuse
        return Fail(error);
    }
    const char* priv = privateKeyPath.c_str();
    const char* pub = publicKeyPath.c_str();
    printf("wrote the private key to %s\n"
           "  sign with it: pkgtool sign %s --game NAME FILE...\n"
           "  keep it off the web server, readable by you alone, and backed up\n"
           "wrote the public key to %s\n"
           "  build the installer with -DINSTALLER_PUBLISHER_KEYS=%s\n"
           "  check signatures with it: pkgtool verify %s --game NAME FILE...\n",
           priv, priv, pub, pub, pub);
    return 0;
}

namespace {

// The role of each file to sign or check, as told by its sections (RoleOfFile).
bool RoleOfFileAt(const std::string& file, SignedRole* role, std::string* error)
{
    ProfileText text;
    if (!ReadSignedFile(file, &text, error))
        return false;
    if (RoleOfFile(text, role, error))
        return true;
    *error = file + " " + *error;
    return false;
}

}  // namespace

int RunSign(const std::string& privateKeyPath, const std::string& game, const std::vector<std::string>& files)
{
    PrivateKey key;
    std::string error, warning;
    if (!LoadPrivateKey(privateKeyPath, &key, &error))
        return Fail(error);
    int status = 0;
    for (const std::string& file : files) {
        SignedRole role;
        if (!RoleOfFileAt(file, &role, &error) || !SignSiteFile(key, role, game, file, &warning, &error)) {
            status = Fail(error);
            continue;
        }
        printf("wrote %s%s: the signature of %s as the %s of %s by %s\n", file.c_str(), kSignatureSuffix,
               file.c_str(), SiteFileRoleName(role), game.c_str(), privateKeyPath.c_str());
        if (!warning.empty())
            fprintf(stderr, "pkgtool: warning: %s\n", warning.c_str());
    }
    return status;
}

int RunVerify(const std::string& publicKeyPath, const std::string& game, const std::vector<std::string>& files)
{
    uint8_t publicKey[kPublicKeySize];
    std::string error;
    if (!LoadPublicKey(publicKeyPath, publicKey, &error))
        return Fail(error);
    int status = 0;
    for (const std::string& file : files) {
        SignedRole role;
        if (!RoleOfFileAt(file, &role, &error)) {
            status = Fail(error);
            continue;
        }
        switch (CheckSiteFile(publicKey, role, game, file, &error)) {
        case SignatureCheck::Good:
            printf("%s: good signature of the %s of %s (%s)\n", file.c_str(), SiteFileRoleName(role), game.c_str(),
                   publicKeyPath.c_str());
            break;
        case SignatureCheck::Bad:
            status = Fail(file + ": BAD signature (" + publicKeyPath + "): the file changed after it was signed, " +
                          "or it was signed for another game or by another key");
            break;
        default:
            status = Fail(error);
            break;
        }
    }
    return status;
}
