#pragma once
// What the demo uninstaller may remove, decided before anything is touched.
//
// The installer records the setup directory in "<setupdir>uninstall\uninstall.ini" and registers
// `"<uninstaller>" "/U:<that file>"`. The uninstaller removes the setup directory, the shortcuts and
// the uninstall registry key, and nothing outside the setup directory: a file that names some
// other place as its setup directory, a drive root or one of the system's own folders is refused.

#include <windows.h>

#include <string>

struct UninstallPlan {
    std::string iniPath;       // the uninstall file given behind /U:
    std::string setupDir;      // [config] setupdir, with exactly one trailing backslash
    std::string gameName;      // [config] gamename: Start-menu group and registry key
    std::string shortcutName;  // [config] shortcutname
    std::string productTitle;  // [config] ProductTitle: caption of a running game
};

// The value behind "/U:" in a command line ("/U:path" or "\"/U:path\""), or "" when absent.
std::string FindUninstallArgument(const char* commandLine);

// True when the command line holds the switch `name` (such as "/S") as a whole word.
bool HasSwitch(const char* commandLine, const char* name);

// Reads the uninstall file and checks that removing what it names is safe. On refusal `reason`
// says why in a sentence for the user.
bool LoadUninstallPlan(const std::string& iniPath, UninstallPlan* plan, std::string* reason);

// The checks of LoadUninstallPlan on values already read; exposed for the tests.
bool CheckUninstallPlan(const UninstallPlan& plan, std::string* reason);
