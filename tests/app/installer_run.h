#pragma once
// Where the tests find the installer and the helpers built beside it.
#include "test_paths.h"

#include <windows.h>

#include <string>

// The window class and title of the installer: "Vellora在线安装".
constexpr char kInstallerTitle[] = "Vellora在线安装";

inline std::string BuildPath(const char* relative) { return std::string(VELLORA_TEST_BINARY_DIR) + "\\" + relative; }
inline std::string InstallerPath() { return BuildPath("src\\app\\vellora_setup.exe"); }
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
