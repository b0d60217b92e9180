#pragma once
// The publisher's description of a release (pkgtool release DESCRIPTION): a small UTF-8 text from
// which pkgtool writes the configuration and the update list, so that nobody types their section
// and key names or saves them in the wrong code page.
//
//   # Lines starting with "#" are comments; blank lines are skipped.
//   game        = 塔恩霍尔德               -> gamename      the game's name (its folder, Start menu, uninstall entry)
//   executable  = tarnhold.exe            -> exefilename   the game's executable, in the game's folder
//   caption     = Tarnhold                -> ProductTitle  the exact caption of the game's main window
//   size        = 850                     -> size          the space the game needs, in MiB
//   agreement   = https://.../agreement   -> urlAgreement  (optional) the user agreement's address
//   uninstaller = uninstall.exe           -> uninstname    the uninstaller, in the game's uninstall folder
//   publisher   = Example Games           -> Publisher     (optional)
//   contact     = support@example.com     -> Contact       (optional)
//   site        = https://dl1.example.com/                 the address the site's files are served from
//   key         = tarnhold-2026.key                        (optional) signs the configuration and the list
//   product     = Tarnhold                                 (optional) the installer's product name
//                                                          (INSTALLER_PRODUCT_NAME) they are signed for;
//                                                          default: game
//   lifetime    = 90                                       (optional) days until the files' expires date
//   mirrors     = https://cdn.example.net/tarnhold/ ...    (optional) up to four more addresses of the
//                                                          package's folder, blank-separated
//   format      = xz                                       (optional) the package's encoding: lzma
//                                                          (default, every installer reads it) or
//                                                          xz (decoded on every core; installers
//                                                          with the .xz decoder only)
//
// Texts are turned into GBK here; a text GBK cannot hold is refused, never approximated.
#include "packing/package_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kDefaultLifetimeDays = 90;

struct ReleaseDescription {
    // The configuration's [setup] values, in GBK.
    std::string game, executable, caption, agreement, uninstaller, publisher, contact;
    uint64_t sizeMiB = 0;
    std::string site;  // "http://" or "https://", ending in "/"
    std::string key;   // the private key's path, relative ones taken from the description's folder; "" unsigned
    std::string product;  // the installer's product name the signatures are for, in UTF-8
    int lifetimeDays = kDefaultLifetimeDays;
    std::vector<std::string> mirrors;  // each "http://" or "https://", ending in "/"
    PackageEncoding encoding = PackageEncoding::LzmaAlone;
};

// Reads and checks the description at `path`. Every problem found is one line on standard error;
// false when there was one.
bool ReadReleaseDescription(const std::string& path, ReleaseDescription* release);
