#pragma once
// The publisher's key files (the signatures they make: packing/site_signature.h).
//
//   KEY.pub   text: "#" comment lines, blank lines, and one line
//             "ecdsa-p256-public <128 hex digits>", X || Y;
//   KEY       text, the same way, with one line "ecdsa-p256-private <192 hex digits>",
//             X || Y || d (the body of CNG's BCRYPT_ECCPRIVATE_BLOB).
//
// Hex digits are read in either case and written in lower case; a UTF-8 byte-order mark before
// the first line is skipped. No error text ever quotes a private key.
#include "packing/publisher_signing.h"

#include <string>

constexpr char kSignatureSuffix[] = ".sig";
constexpr char kPublicKeySuffix[] = ".pub";

// Lower-case hex digits, as key files and the update list's sha256= lines have them.
std::string LowerHex(const uint8_t* bytes, size_t size);

// The text of a key file, with a first comment line saying what the file is for.
std::string FormatPublicKey(const uint8_t (&publicKey)[kPublicKeySize]);
std::string FormatPrivateKey(const PrivateKey& key);  // wipe it with WipeSecret when done

// Reading the text of a key file. A private key whose point is not d's is refused: it would
// sign what no installer built with its public half accepts.
bool ParsePublicKey(const std::string& text, uint8_t (&publicKey)[kPublicKeySize], std::string* error);
bool ParsePrivateKey(const std::string& text, PrivateKey* key, std::string* error);

// The same for a file; `error` names the file.
bool LoadPublicKey(const std::string& path, uint8_t (&publicKey)[kPublicKeySize], std::string* error);
bool LoadPrivateKey(const std::string& path, PrivateKey* key, std::string* error);

bool HashFile(const std::string& path, uint8_t (&digest)[kSha256Size], std::string* error);
