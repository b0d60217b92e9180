// Demo game: stands in for the real client in the demo package and in the tests.
//
// It shows one window captioned DEMO_GAME_CAPTION (the caption the installer looks for when it
// asks a running copy to close; a caption.txt beside the game replaces it, so tests running side
// by side can tell their games apart), and leaves evidence beside itself:
//   started.txt  written at start: the command line and the current directory;
//   closed.txt   written when asked to close (WM_CLOSE): the files that stood beside the game at
//                that moment, one per line, so a test can tell what existed when it was closed.
#include "common/fixed_string.h"
#include "common/win_handles.h"

#include <windows.h>

#include <cstdio>
#include <string>

#ifndef DEMO_GAME_CAPTION
#define DEMO_GAME_CAPTION "Vellora"
#endif

namespace {

std::string g_folder;  // the game's own folder, with a trailing backslash
char g_caption[260] = DEMO_GAME_CAPTION;

std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return ".\\";
    std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

void WriteText(const char* name, const std::string& text)
{
    FILE* f = fopen((g_folder + name).c_str(), "wb");
    if (!f)
        return;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

std::string ListFolder()
{
    std::string list;
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(FindFirstFileA((g_folder + "*").c_str(), &found));
    if (!search)
        return list;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
            list += std::string(found.cFileName) + "\r\n";
    } while (FindNextFileA(search.get(), &found));
    return list;
}

void Paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    UniqueBrush background(CreateSolidBrush(RGB(18, 24, 48)));
    FillRect(dc, &client, background.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 246, 150));
    UniqueFont font(CreateFontA(28, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, PROOF_QUALITY, 0, "宋体"));
    {
        ScopedSelectObject select(dc, font.get());
        char line[260];
        FormatString(line, "%s 已启动", g_caption);
        DrawTextA(dc, line, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_CLOSE:
        WriteText("closed.txt", ListFolder());
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    g_folder = OwnFolder();
    if (FILE* f = fopen((g_folder + "caption.txt").c_str(), "rb")) {
        size_t n = fread(g_caption, 1, sizeof g_caption - 1, f);
        g_caption[n] = '\0';
        fclose(f);
    }
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    WriteText("started.txt", std::string("command line: ") + GetCommandLineA() + "\r\ncurrent directory: " + cwd + "\r\n");

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "VelloraDemoGame";
    RegisterClassExA(&wc);
    // In the screen's bottom-right corner: tests that click the installer's window (centred) or
    // their own (top left) go on while a game started by another test is open.
    constexpr int kWidth = 480, kHeight = 270;
    const int x = GetSystemMetrics(SM_CXSCREEN) - kWidth, y = GetSystemMetrics(SM_CYSCREEN) - kHeight;
    HWND window = CreateWindowExA(0, wc.lpszClassName, g_caption, WS_OVERLAPPEDWINDOW, x > 0 ? x : 0, y > 0 ? y : 0,
                                  kWidth, kHeight, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
