// The installer executable's own resources: icons, accelerators and manifest.
#include "installer_run.h"
#include "ui/resource_ids.h"

#include <gtest/gtest.h>

#include <string>

TEST(InstallerResources, IconsAcceleratorsAndManifest)
{
    HMODULE installer = LoadLibraryExA(InstallerPath().c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(installer, nullptr);
    EXPECT_NE(LoadImageA(installer, MAKEINTRESOURCEA(IDI_INSTALLER), IMAGE_ICON, 32, 32, 0), nullptr);
    EXPECT_NE(LoadImageA(installer, MAKEINTRESOURCEA(IDI_INSTALLER_SMALL), IMAGE_ICON, 16, 16, 0), nullptr);

    // Alt with "?" and Alt with "/", as characters (no virtual keys), both giving command 104.
    HACCEL table = LoadAcceleratorsA(installer, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 4), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(entries[i].fVirt & ~FNOINVERT, FALT);
        EXPECT_EQ(entries[i].cmd, IDM_ACCELERATOR);
    }
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[1].key, '/');

    HRSRC manifest = FindResourceA(installer, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(installer, manifest)));
    const std::string xml(text, SizeofResource(installer, manifest));
    EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    FreeLibrary(installer);
}
