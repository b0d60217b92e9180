// A DLL planted beside the installer under a system DLL's name must never be loaded.
//
// Wine normally prefers its own built-in DLLs, so a planted copy would be ignored whatever the
// installer does. Wine's per-program setting "native,builtin" for the planted names makes it take
// a native DLL from the ordinary search order first, as Windows does for every DLL that is not a
// KnownDLL. The unprotected probe shows that the set-up really loads a planted uxtheme.dll (loaded
// late, on window creation); the installer, started the same way beside the same copies, must load
// uxtheme.dll, and the WinINet and winmm it loads late itself, from the system directory and none
// of the planted ones; oleacc too, which the installer loads itself when a screen reader first asks
// a control about itself. Not planted: imm32 and version, which Wine's own user32 loads before any
// program code runs (on Windows imm32 is a KnownDLL and user32 needs no version), and shcore, which
// Wine's own libraries load likewise (the installer loads it by full path, only where Windows
// lacks GetDpiForWindow).
//
// The installer runs twice: as it is, and told to behave as on a system without
// SetDefaultDllDirectories (Windows 7 without KB2533623), where the search cannot be kept out of
// the executable's folder and only loading by full path and preloading keep the planted copies out.
#include "installer_run.h"
#include "support/config_slot_server.h"
#include "support/gui_test_support.h"
#include "support/test_support.h"
#include "ui/control_ids.h"

#include <gtest/gtest.h>
#include <oleacc.h>
#include <psapi.h>

#include <vector>

namespace {

const char* const kPlanted[] = {"uxtheme",  "gdiplus", "msimg32", "comctl32", "dwmapi", "cryptbase",
                                "winmm",    "wininet", "propsys", "userenv",  "profapi", "setupapi",
                                "riched20", "oleacc",  "usp10",   "dbghelp",  "shfolder", "bcrypt"};

// Wine's per-program DLL overrides (by file name): native first for the planted names.
class NativeFirstFor {
public:
    explicit NativeFirstFor(const std::string& program) : key_("Software\\Wine\\AppDefaults\\" + program)
    {
        UniqueRegKey overrides;
        RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        overrides.put(), nullptr);
        static const char kNativeFirst[] = "native,builtin";
        for (const char* name : kPlanted)
            RegSetValueExA(overrides.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst), sizeof kNativeFirst);
    }
    ~NativeFirstFor() { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
    NativeFirstFor(const NativeFirstFor&) = delete;
    NativeFirstFor& operator=(const NativeFirstFor&) = delete;

private:
    std::string key_;
};

std::string Lower(std::string text)
{
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::vector<std::string> ModulePaths(DWORD processId)
{
    std::vector<std::string> paths;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!process || !EnumProcessModules(process.get(), modules, sizeof modules, &bytes))
        return paths;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
        char path[MAX_PATH] = {};
        if (GetModuleFileNameExA(process.get(), modules[i], path, MAX_PATH))
            paths.push_back(Lower(path));
    }
    return paths;
}

}  // namespace

TEST(DllPlanting, InstallerLoadsOnlyTheSystemCopies)
{
    DesktopLock lock;
    ConfigSlotServer config(0, kOpeningConfig);
    ScratchDir dir("planting");
    for (const char* name : kPlanted)
        ASSERT_TRUE(CopyFileA(BuildPath("tests\\app\\planted.dll").c_str(), (dir / (std::string(name) + ".dll")).c_str(), FALSE));
    NativeFirstFor probeOverrides("dll_probe.exe"), installerOverrides("vellora_setup.exe");

    // The control: without protection the planted uxtheme.dll is loaded.
    ASSERT_TRUE(CopyFileA(BuildPath("tests\\app\\dll_probe.exe").c_str(), (dir / "dll_probe.exe").c_str(), FALSE));
    ChildProcess probe(Quoted(dir / "dll_probe.exe"));
    probe.Wait(30000);
    ASSERT_TRUE(FileExists(dir / "uxtheme.dll.loaded")) << "the set-up does not load planted DLLs: nothing is proved";
    ASSERT_TRUE(DeleteFileA((dir / "uxtheme.dll.loaded").c_str()));

    ASSERT_TRUE(CopyFileA(InstallerPath().c_str(), (dir / "vellora_setup.exe").c_str(), FALSE));
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string plantedFolder = Lower(dir.path() + "\\");
    for (const char* fallback : {"", "1"}) {
        SCOPED_TRACE(fallback[0] ? "without SetDefaultDllDirectories" : "as it is");
        SetEnvironmentVariableA("VELLORA_DLL_SEARCH_FALLBACK", fallback[0] ? fallback : nullptr);
        ChildProcess installer(Quoted(dir / "vellora_setup.exe"));
        SetEnvironmentVariableA("VELLORA_DLL_SEARCH_FALLBACK", nullptr);
        HWND window = WaitForWindow(kInstallerTitle, kInstallerTitle, installer.id());
        ASSERT_NE(window, nullptr);
        // Loaded late: uxtheme by the system on window creation, WinINet and the multimedia timer
        // by the installer itself for the configuration's download, oleacc by the installer for
        // the first WM_GETOBJECT.
        SendMessageTimeoutA(GetDlgItem(window, IDC_INSTALL), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT),
                            SMTO_ABORTIFHUNG, 10000, nullptr);
        std::vector<std::string> lateFromSystem = {"uxtheme.dll", "wininet.dll", "winmm.dll", "oleacc.dll"};
        for (const std::string& path : ModulePaths(installer.id())) {
            if (path != plantedFolder + "vellora_setup.exe") {
                EXPECT_EQ(path.find(plantedFolder), std::string::npos) << path;
            }
            for (auto late = lateFromSystem.begin(); late != lateFromSystem.end(); ++late) {
                if (path == Lower(system) + "\\" + *late) {
                    lateFromSystem.erase(late);
                    break;
                }
            }
        }
        for (const std::string& name : lateFromSystem)
            ADD_FAILURE() << "the installer loaded no " << name << " from the system directory: nothing is proved";
        for (const char* name : kPlanted)
            EXPECT_FALSE(FileExists(dir / (std::string(name) + ".dll.loaded"))) << name;

        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(installer.Wait(), 0);
    }
}
