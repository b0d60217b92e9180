// Renders the installer's skin, as the executable carries it, into one picture for review:
// the three pages composed roughly as the window will draw them (with the window's fonts and text
// colours), the other two slides, the icons, and every button strip's four frames, both on a
// checkerboard (the keyed outline) and on the background they sit on.
//
//   skin_contact_sheet <installer.exe> <out.bmp>
// res/update_contact_sheet.sh turns the result into docs/skin-contact-sheet.png.
#include "common/win_handles.h"
#include "skin/skin_image.h"
#include "ui/resource_ids.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int kPageW = 455, kPageH = 325, kGap = 16;
constexpr int kSheetW = 3 * kPageW + 4 * kGap;
constexpr int kSheetH = 2 * kPageH + 3 * kGap + 320;

HMODULE g_skin;

struct Strip {
    uint16_t id;
    const char* name;
    int x, y;  // where the button sits in the window
};
const Strip kStrips[] = {
    {IDB_CLOSE, "156 关闭", 419, 13},         {IDB_MINIMIZE, "163 最小化", 392, 13},
    {IDB_INSTALL, "164 立即安装", 163, 209},  {IDB_AGREEMENT, "158 用户协议", 126, 275},
    {IDB_CUSTOM_INSTALL, "161 自定义安装", 358, 275}, {IDB_BROWSE, "169 浏览", 378, 94},
    {IDB_DEFAULT_PATH, "162 恢复默认", 295, 128}, {IDB_BACK, "159 返回", 393, 275},
    {IDB_CANCEL, "160 取消安装", 384, 275},
};

HFONT Font(int height, int width, int weight)
{
    return CreateFontA(height, width, 0, 0, weight, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, "宋体");
}

void Text(HDC dc, const char* text, RECT r, COLORREF colour, HFONT font, UINT format = 0)
{
    ScopedSelectObject select(dc, font);
    SetTextColor(dc, colour);
    DrawTextA(dc, text, -1, &r, format);
}

// Draws with the destination's (0, 0) moved to (x, y), as the skin's draws always start at (0, 0).
template <typename Draw>
void At(HDC dc, int x, int y, Draw draw)
{
    POINT old;
    SetViewportOrgEx(dc, x, y, &old);
    draw();
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void Keyed(HDC dc, int x, int y, uint16_t id, int frame = 0)
{
    SkinImage image;
    if (!LoadPngResource(g_skin, id, image))
        return;
    const bool strip = id != IDB_BANNER && (id < IDB_SLIDE_FIRST || id > IDB_SLIDE_FIRST + 2);
    const int w = strip ? image.width() / 4 : image.width();
    At(dc, x, y, [&] { DrawKeyed(image, dc, w, image.height(), frame * w, w, image.height()); });
}

void Background(HDC dc, int x, int y)
{
    SkinImage image;
    if (LoadPngResource(g_skin, IDB_BACKGROUND, image))
        At(dc, x, y, [&] { DrawImage(image, dc, image.width(), image.height(), image.width(), image.height()); });
}

// One page at (x, y): 0 start, 1 custom install, 2.. progress with slide (page - 2).
void Page(HDC dc, int x, int y, int page)
{
    RECT clip = {x, y, x + kPageW, y + kPageH};
    UniqueBrush black(CreateSolidBrush(RGB(0, 0, 0)));
    FillRect(dc, &clip, black.get());
    Background(dc, x, y);
    UniqueFont base(Font(12, 6, 400)), title(Font(26, 14, 700)), path(Font(14, 7, 400)), heading(Font(16, 8, 700));
    const COLORREF white = RGB(255, 255, 255), titleYellow = RGB(255, 246, 150), statusYellow = RGB(254, 247, 167);
    SetBkMode(dc, TRANSPARENT);
    auto r = [&](int l, int t, int rr, int b) { return RECT{x + l, y + t, x + rr, y + b}; };
    Keyed(dc, x + 419, y + 13, IDB_CLOSE);
    Keyed(dc, x + 392, y + 13, IDB_MINIMIZE);
    if (page == 0) {
        Keyed(dc, x, y, IDB_BANNER);
        Text(dc, "已阅读并同意", r(50, 275, 150, 295), white, base.get());
        Text(dc, "Vellora游戏 极速安装", r(0, 146, kPageW, 177), titleYellow, title.get(),
             DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        Keyed(dc, x + 163, y + 209, IDB_INSTALL);
        Keyed(dc, x + 126, y + 275, IDB_AGREEMENT);
        Keyed(dc, x + 358, y + 275, IDB_CUSTOM_INSTALL);
        RECT box = r(24, 275, 37, 288);
        DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    } else if (page == 1) {
        Text(dc, "安装路径:", r(40, 100, 290, 120), white, path.get());
        Text(dc, "所需空间：16MB(可用空间：35GB)", r(40, 128, 290, 148), white, path.get());
        Text(dc, "自定义安装", r(26, 44, 126, 61), titleYellow, heading.get());
        RECT edit = r(106, 98, 372, 118);
        FillRect(dc, &edit, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        edit.left += 2;
        edit.top += 3;
        Text(dc, "C:\\Program Files\\Vellora\\", edit, RGB(0, 0, 0), path.get());
        Keyed(dc, x + 378, y + 94, IDB_BROWSE);
        Keyed(dc, x + 295, y + 128, IDB_DEFAULT_PATH);
        Keyed(dc, x + 163, y + 209, IDB_INSTALL);
        Keyed(dc, x + 393, y + 275, IDB_BACK);
    } else {
        Keyed(dc, x, y, static_cast<uint16_t>(IDB_SLIDE_FIRST + page - 2));
        Text(dc, "正在下载", r(18, 232, 318, 247), statusYellow, base.get());
        Text(dc, "已下载37%", r(300, 232, 436, 247), statusYellow, base.get(), DT_RIGHT);
        RECT bar = r(18, 253, 437, 272), done = r(19, 254, 19 + 155, 271);
        FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        UniqueBrush green(CreateSolidBrush(RGB(6, 176, 37)));
        FillRect(dc, &done, green.get());
        Keyed(dc, x + 384, y + 275, IDB_CANCEL);
    }
}

void Checkerboard(HDC dc, RECT r)
{
    UniqueBrush light(CreateSolidBrush(RGB(200, 200, 200))), dark(CreateSolidBrush(RGB(150, 150, 150)));
    for (int y = r.top; y < r.bottom; y += 4) {
        for (int x = r.left; x < r.right; x += 4) {
            RECT cell = {x, y, x + 4 < r.right ? x + 4 : r.right, y + 4 < r.bottom ? y + 4 : r.bottom};
            FillRect(dc, &cell, (((x - r.left) / 4 + (y - r.top) / 4) % 2) ? dark.get() : light.get());
        }
    }
}

void Strips(HDC dc, int top)
{
    UniqueFont label(Font(12, 6, 400));
    SetBkMode(dc, TRANSPARENT);
    const char* states[] = {"常态", "悬停/焦点", "按下", "禁用"};
    int y = top;
    for (int column = 0; column < 2; ++column) {
        for (int state = 0; state < 4; ++state) {
            RECT r = {kGap + 130 + column * 600 + state * 141, y, kGap + 270 + column * 600 + state * 141, y + 14};
            Text(dc, states[state], r, RGB(230, 230, 230), label.get());
        }
    }
    y += 18;
    for (const Strip& strip : kStrips) {
        SkinImage image;
        if (!LoadPngResource(g_skin, strip.id, image))
            continue;
        const int w = image.width() / 4, h = image.height();
        Text(dc, strip.name, RECT{kGap, y, kGap + 126, y + 14}, RGB(230, 230, 230), label.get());
        // Frame i on a checkerboard, then on the window background where the button sits.
        for (int i = 0; i < 4; ++i) {
            const int cx = kGap + 130 + i * 141, bx = kGap + 730 + i * 141;
            Checkerboard(dc, RECT{cx, y, cx + w, y + h});
            Keyed(dc, cx, y, strip.id, i);
            SkinImage background;
            if (LoadPngResource(g_skin, IDB_BACKGROUND, background)) {
                SkinImageDc pixels(background);
                BitBlt(dc, bx, y, w, h, pixels.get(), strip.x, strip.y, SRCCOPY);
            }
            Keyed(dc, bx, y, strip.id, i);
        }
        y += h + 10;
    }
}

bool WriteBmp(const char* path, HDC dc, HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    if (!GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS))
        return false;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              std::fwrite(pixels.data(), pixels.size(), 1, out) == 1;
    return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: skin_contact_sheet <installer.exe> <out.bmp>\n");
        return 2;
    }
    g_skin = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    SkinImage probe;
    if (!g_skin || !LoadPngResource(g_skin, IDB_BACKGROUND, probe)) {
        std::fprintf(stderr, "no skin in %s\n", argv[1]);
        return 1;
    }
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, kSheetW, -kSheetH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueBitmap sheet(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        ScopedSelectObject select(dc.get(), sheet.get());
        RECT all = {0, 0, kSheetW, kSheetH};
        UniqueBrush grey(CreateSolidBrush(RGB(48, 48, 52)));
        FillRect(dc.get(), &all, grey.get());
        for (int page = 0; page < 5; ++page)
            Page(dc.get(), kGap + (page % 3) * (kPageW + kGap), kGap + (page / 3) * (kPageH + kGap), page);
        // icons in the last cell
        const int ix = kGap + 2 * (kPageW + kGap) + 20, iy = 2 * kGap + kPageH + 20;
        int offset = 0;
        for (int size : {256, 48, 32, 16}) {
            HICON icon = static_cast<HICON>(LoadImageA(g_skin, MAKEINTRESOURCEA(size > 16 ? IDI_INSTALLER : IDI_INSTALLER_SMALL),
                                                       IMAGE_ICON, size, size, 0));
            if (icon) {
                DrawIconEx(dc.get(), ix + offset, iy, icon, size, size, 0, nullptr, DI_NORMAL);
                DestroyIcon(icon);
            }
            offset += size + 20;
        }
        Strips(dc.get(), 2 * kPageH + 3 * kGap);
    }
    return WriteBmp(argv[2], dc.get(), sheet.get(), kSheetW, kSheetH) ? 0 : 1;
}
