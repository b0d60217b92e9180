#pragma once
// The two messages through which the installation job and the steps it calls report to the
// installer window. Both are posted (never sent) with wParam 0.
// No <windows.h> here: the portable package code posts progress through a sink that uses these.

// lParam: percentage 0..100 of the current step (a download or an extraction).
constexpr unsigned WM_INSTALL_PROGRESS = 20000;
// lParam: status index 0..8 (see InstallStatus).
constexpr unsigned WM_INSTALL_STATUS = 20001;

// Status indices; the window shows the matching text of its status table.
enum InstallStatus : int {
    STATUS_FAILED = 0,          // "错误，请重新下载": last message after every failure
    STATUS_NONE = 1,            // empty text; never posted by the job
    STATUS_READING_CONFIG = 2,  // "正在读取配置文件"
    STATUS_CHECKING_VERSION = 3,  // "正在获取版本信息"; never posted by the job
    STATUS_DOWNLOADING = 4,     // "正在下载"
    STATUS_STARTING = 5,        // "正在启动安装"; never posted by the job
    STATUS_INSTALLING = 6,      // "正在安装": before extraction, and last of a run without failure
    STATUS_COMPLETE = 7,        // "安装完成": after the game was started
    // "正在重新连接": a pinned download waits for the network; STATUS_DOWNLOADING again once
    // bytes come.
    STATUS_RECONNECTING = 8,
};

// The installer's exit code when the installation failed (status 0, or no configuration could be
// fetched), so that a script running "setup.exe -path ..." can tell; a completed installation,
// and a player who closes the window before installing, exit with 0.
constexpr int kExitInstallFailed = 1;
