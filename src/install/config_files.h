#pragma once
// The three profile-syntax (INI) files of an installation: the remote configuration file, the
// update list and the uninstall file. The first two are read from the bytes that were fetched
// (common/profile_text.h, with the profile functions' rules), never from their file again; the
// uninstall file is written through the profile functions, so its path must be a full path.

#include "common/profile_text.h"
#include "install/install_job.h"
#include "net/download.h"

// Bits of an update list's action.
constexpr int ACTION_COMMAND = 1;   // run the command in cmd
constexpr int ACTION_DOWNLOAD = 2;  // download srcfile into destfile under the install directory
constexpr int ACTION_MISSING = -1;  // no action key: the list is broken

// The only command an update list knows: extract the package destfile into the install directory.
constexpr char kCommandExtract[] = "DEC";

// Reads [setup] of the remote configuration file into `job`: gamename, exefilename, ProductTitle
// and size first. The file is accepted when size is 0 or more; only then are `requiredKb`
// (size in KiB) and urlAgreement, uninstname, Publisher and Contact stored. Values read from a
// rejected file stay in `job` until the next file's replace them. Returns whether it was accepted.
bool ReadSetupSection(const ProfileText& config, InstallJob& job);

// The update list's address for this installer: [config] "1.0", or "other" when "1.0" is missing
// or empty. False (and `url` empty) when both are.
bool ReadUpdateListUrl(const ProfileText& config, char (&url)[kConfigValueSize]);

// What the configuration says of the update list's bytes: [config] "1.0.sha256" beside "1.0" (or
// "other.sha256" beside "other", when that is the list's address), 64 hex digits. Signed, it binds
// the list to the configuration, so that no older list, however well signed and dated, can be
// served beside it.
enum class ListPin {
    None,       // no such key
    Pinned,     // `sha256` holds it
    Malformed,  // a value that is no SHA-256
};
ListPin ReadUpdateListPin(const ProfileText& config, uint8_t (&sha256)[kSha256Size]);

// [list0] action of an update list (ACTION_MISSING when there is none).
int ReadListAction(const ProfileText& list);

struct UpdateListFiles {
    char srcFile[kPathSize] = {};   // URL to download
    char destFile[kPathSize] = {};  // local name under the install directory
    char cmd[kPathSize] = {};       // command to run on it
    // Further addresses of srcfile's bytes (mirror1= ... mirror4=, the empty ones left out): used
    // only for a pinned download, whose hash makes every copy as good as another.
    char mirrors[kMaxMirrors][kPathSize] = {};
    int mirrorCount = 0;
};

// [list0] srcfile, destfile, cmd and the mirrors. Read only once the action is neither 0 nor
// missing.
void ReadListFiles(const ProfileText& list, UpdateListFiles& files);

// [list0] size (decimal bytes) and sha256 (64 hex digits) of the file a signed update list has
// downloaded: false when either is missing or malformed. An installer without publisher keys
// reads them only for a list that names mirrors, and takes such a list only with them.
bool ReadListPin(const ProfileText& list, DownloadPin* pin);

// The checks of an update list's step that come before anything is done, in their order: the
// text that ends the job, or null when the step may go on. The command's name is checked only
// when it is about to run.
const char* CheckListStep(int action, const UpdateListFiles& files);

// Writes [config] of "<installDir>uninstall\uninstall.ini" (the folder must exist, and be no
// junction or symbolic link; a link or hard link in the file's place is deleted first): setupdir,
// gamename, shortcutname and ProductTitle, in this order. The writes' results are not looked at;
// false only when the file's path does not fit its buffer, and then nothing is written.
bool WriteUninstallFile(const InstallJob& job);
