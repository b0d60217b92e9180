// The installer window's commands: page changes, the installation path and the start of the job.
#include "ui/win32_dialog.h"

#include "common/fixed_string.h"
#include "common/message_box.h"
#include "shell/directories.h"
#include "shell/free_space.h"
#include "shell/path_chars.h"
#include "ui/control_ids.h"
#include "ui/install_path.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {

const char kInvalidPath[] = "指定的路径无效";
const char kInvalidPathCaption[] = "确认";

// Appends a backslash unless the path already ends with a separator. `path` has room for it.
template <size_t N>
void EndWithSeparator(char (&path)[N])
{
    if (!EndsWithSeparator(path))
        AppendString(path, "\\");
}

}  // namespace

void fgWin32Dialog::OnCommand(int id, int notification)
{
    switch (id) {
    case IDC_CANCEL_INSTALL:
        job_.cancelRequested = 1;
        break;
    case IDC_CLOSE:
        // Before the installation the program ends; during it the job is asked to stop and
        // ends the program itself when it reports.
        if (viewState_ == VIEW_START || viewState_ == VIEW_CUSTOM)
            PostQuitMessage(0);
        else
            job_.cancelRequested = 1;
        break;
    case IDC_MINIMIZE:
        ShowWindow(window_, SW_SHOWMINIMIZED);
        break;
    case IDC_INSTALL:
        StartInstall();
        break;
    case IDC_AGREEMENT: {
        // The shell may hand the address to a COM server: initialised for this one call.
        ScopedComInit com;
        ShellExecuteA(nullptr, nullptr, job_.agreementUrl, nullptr, nullptr, SW_SHOWNORMAL);
        break;
    }
    case IDC_CUSTOM_INSTALL:
        viewState_ = VIEW_CUSTOM;
        UpdateLayout();
        break;
    case IDC_AGREE_CHECK: {
        const bool agreed = SendMessageA(agreeCheck_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        customButton_.SetEnabled(agreed);
        installButton_.SetEnabled(agreed);
        break;
    }
    case IDC_BROWSE:
        Browse();
        break;
    case IDC_DEFAULT_PATH:
        RestoreDefaultPath();
        break;
    case IDC_BACK:
        viewState_ = VIEW_START;
        UpdateLayout();
        break;
    case IDC_PATH_EDIT:
        if (notification == EN_CHANGE && !settingPathText_)
            CheckEditedPath();
        break;
    default:
        break;
    }
}

void fgWin32Dialog::StartInstall()
{
    if (invalidPath_) {
        ShowMessageBox(window_, kInvalidPath, kInvalidPathCaption, MB_OK);
        return;
    }
    viewState_ = VIEW_PROGRESS;
    UpdateLayout();

    job_.window = window_;
    job_.cancelRequested = 0;
    CopyString(job_.installDir, chosenPath_);
    MakeDirectoryPath(job_.installDir);
    // The handle is kept for the rest of the run and closed with the window object.
    DWORD threadId = 0;
    job_.thread = CreateThread(nullptr, 0, InstallJobThread, &job_, 0, &threadId);
    // Without a worker nothing would ever end the progress page: report the failure as the job
    // would, which ends the program.
    if (!job_.thread)
        PostMessageA(window_, WM_INSTALL_STATUS, 0, STATUS_FAILED);
}

void fgWin32Dialog::Browse()
{
    // The folder browser is a COM client: COM is initialised on this thread for the browse.
    ScopedComInit com;
    char title[kPathSize];
    FormatString(title, "将%s安装到:", job_.gameName);
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = window_;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (!item)
        return;
    // One more byte than a path holds, for the separator appended below.
    char folder[kPathSize + 1] = {};
    const BOOL converted = SHGetPathFromIDListA(item, folder);
    CoTaskMemFree(item);
    if (!converted || folder[0] == '\0')
        return;  // cancelled, or a folder outside the file system

    const int32_t free = QueryFreeSpaceKb(folder);
    if (free < 0)
        return;
    freeKb_ = free;
    invalidPath_ = 0;
    EndWithSeparator(folder);
    ComposeInstallPath(folder, job_.gameName, chosenPath_);
    SetPathEditText(chosenPath_);
    InvalidateRect(window_, nullptr, TRUE);
}

void fgWin32Dialog::RestoreDefaultPath()
{
    CopyString(chosenPath_, defaultPath_);
    SetPathEditText(defaultPath_);
    // The default folder is valid (unless the game name left none): a mark left by an earlier
    // bad edit must not block the install any longer, and the space line shows its drive again.
    const int32_t free = QueryFreeSpaceKb(defaultPath_);
    invalidPath_ = defaultPath_[0] == '\0' || free < 0;
    freeKb_ = free < 0 ? 0 : free;
    InvalidateRect(window_, nullptr, TRUE);
}

void fgWin32Dialog::CheckEditedPath()
{
    char text[512] = {};
    GetWindowTextA(pathEdit_, text, sizeof text);
    const size_t length = strlen(text);
    if (length >= kPathSize) {
        SetPathEditText(chosenPath_);
        return;
    }
    // An empty text names no folder at all, and neither does one that no folder could be named
    // (a tab typed into the one-line edit goes into the text).
    if (length == 0 || HasForbiddenPathCharacter(text)) {
        invalidPath_ = 1;
        return;
    }
    const int32_t free = QueryFreeSpaceKb(text);
    if (free < 0) {
        invalidPath_ = 1;
        return;
    }
    freeKb_ = free;
    invalidPath_ = 0;
    EndWithSeparator(text);
    ComposeInstallPath(text, job_.gameName, chosenPath_);
    InvalidateRect(window_, nullptr, TRUE);
}

void fgWin32Dialog::SetPathEditText(const char* text)
{
    // A text set by the program is no edit of the user's: no path check runs for it, whether
    // or not the edit reports the change.
    settingPathText_ = true;
    SetWindowTextA(pathEdit_, text);
    settingPathText_ = false;
}
