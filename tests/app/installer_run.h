#pragma once
// Where the tests find the installer and the helpers built beside it, and the least
// configuration the installer accepts.
#include "test_paths.h"
#include "ui/product_name.h"

#include <windows.h>

#include <string>

// The window class and title of the installer: "<product name>在线安装".
constexpr char kInstallerTitle[] = INSTALLER_PRODUCT_NAME "在线安装";

inline std::string BuildPath(const char* relative) { return std::string(VELLORA_TEST_BINARY_DIR) + "\\" + relative; }
// The installer with the tests' built-in configuration addresses (support/config_slot_server.h).
inline std::string InstallerPath() { return BuildPath("tests\\app\\vellora_setup.exe"); }
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A configuration file with a game name and a size: enough for the window to open.
constexpr char kOpeningConfig[] = "[setup]\r\ngamename=Vellora\r\nexefilename=vellora.exe\r\nsize=16\r\n";
