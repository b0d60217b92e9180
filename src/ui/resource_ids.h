#pragma once
// Resource identifiers of the installer executable (res/installer.rc). Plain macros: the resource
// compiler reads this file too.

#define IDI_INSTALLER 107        // large window icon, also the program's icon
#define IDI_INSTALLER_SMALL 108  // small window icon
#define IDR_ACCELERATORS 109     // Alt+"?" and Alt+"/"
#define IDM_ACCELERATOR 104      // command of both accelerators; nothing handles it

// PNG skins: resource type "PNG" for 100 %, "PNG150" and "PNG200" for displays at 150 % and
// 200 % (skin/skin_scale.h), the same identifiers in each.
#define IDB_BACKGROUND 154       // 455 x 325, alpha-blended window background
#define IDB_BANNER 155           // 455 x 200, keyed start-page image
#define IDB_CLOSE 156            // button strips: four frames each
#define IDB_AGREEMENT 158
#define IDB_BACK 159
#define IDB_CANCEL 160
#define IDB_CUSTOM_INSTALL 161
#define IDB_DEFAULT_PATH 162
#define IDB_MINIMIZE 163
#define IDB_INSTALL 164          // RGB without alpha
#define IDB_SLIDE_FIRST 166      // 166..168: keyed progress-page slides
#define IDB_BROWSE 169
#define IDB_FOCUS_RING 170       // the keyboard focus mark, drawn in nine slices
