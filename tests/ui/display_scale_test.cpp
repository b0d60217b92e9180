// The installer window on displays of other scales: moved to one (WM_DPICHANGED, as Windows sends
// it to a window aware of each monitor's scale), and started on a system of 200 % (Wine's
// LogPixels), where the real installer is measured, hit-tested and photographed.
#include "main_window_fixture.h"
#include "app/installer_run.h"
#include "skin/png_pixels.h"
#include "ui/keyboard_navigation.h"
#include "ui/resource_ids.h"

namespace {

RECT ClientRectOf(HWND window, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT RegionBox(HWND control)
{
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    RECT box = {};
    if (GetWindowRgn(control, region.get()) != ERROR)
        GetRgnBox(region.get(), &box);
    return box;
}

// The drag band's answer for the cursor at client row `y`.
LRESULT HitAtRow(HWND window, int y)
{
    POINT at = {100, y};
    ClientToScreen(window, &at);
    SetCursorPos(at.x, at.y);
    return SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
}

// The system's scale (HKCU\Control Panel\Desktop\LogPixels, which Wine reads when a program
// starts) for the programs started while it lives. Other test programs starting meanwhile would
// see it too, so these tests run alone (tests/ui/CMakeLists.txt), and it lives only until the
// installer's window is up.
class SystemScale {
public:
    explicit SystemScale(DWORD dpi)
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        key_.put(), nullptr);
        DWORD size = sizeof previous_;
        had_ = RegQueryValueExA(key_.get(), "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous_),
                                &size) == ERROR_SUCCESS;
        RegSetValueExA(key_.get(), "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~SystemScale()
    {
        if (had_)
            RegSetValueExA(key_.get(), "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                           sizeof previous_);
        else
            RegDeleteValueA(key_.get(), "LogPixels");
    }
    SystemScale(const SystemScale&) = delete;
    SystemScale& operator=(const SystemScale&) = delete;

private:
    UniqueRegKey key_;
    DWORD previous_ = 0;
    bool had_ = false;
};

}  // namespace

TEST_F(MainWindow, MovedToADisplayOfAnotherScaleItIsDrawnAndPlacedForThatScale)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_EQ(dialog_->dpi(), 96);
    const struct {
        int dpi;
        int width, height;  // the window: the background drawn for (or resized to) that scale
        RECT install;       // the install button: placed, and sized by its strip
        int closeShape;     // the close button's round region, across
        int dragBand;       // the last row of the drag band
    } scales[] = {
        {192, 910, 650, {326, 418, 326 + 266, 418 + 110}, 44, 40},
        {144, 683, 488, {245, 314, 245 + 200, 314 + 83}, 33, 30},
        {120, 569, 407, {204, 261, 204 + 167, 261 + 69}, 28, 25},  // the 150 % set, reduced
        {96, 455, 325, {163, 209, 163 + 133, 209 + 55}, 22, 20},
    };
    for (const auto& s : scales) {
        SCOPED_TRACE(s.dpi);
        RECT suggested = {40, 30, 40 + s.width, 30 + s.height};
        SendMessageA(window_, WM_DPICHANGED, MAKEWPARAM(s.dpi, s.dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(dialog_->dpi(), s.dpi);
        RECT rect;
        GetWindowRect(window_, &rect);
        EXPECT_TRUE(rect == suggested) << rect.left << "," << rect.top << " " << rect.right - rect.left << " x "
                                       << rect.bottom - rect.top;
        EXPECT_TRUE(ClientRectOf(window_, Control(IDC_INSTALL)) == s.install);
        // The round shape's box: as wide as the button, but for edge pixels too faint to count.
        const RECT shape = RegionBox(Control(IDC_CLOSE));
        EXPECT_NEAR(shape.right - shape.left, s.closeShape, 2);
        EXPECT_EQ(HitAtRow(window_, s.dragBand), HTCAPTION);
        EXPECT_EQ(HitAtRow(window_, s.dragBand + 1), HTNOWHERE);
    }
}

TEST(DisplayScale, AtTwiceTheSystemScaleTheInstallerIsTwiceAsLargeAndDrawnFromThe200Set)
{
    DesktopLock lock;
    ConfigSlotServer config(0, kOpeningConfig);
    SetCursorPos(0, 0);  // nowhere near a button: no hover frame
    HWND window = nullptr;
    std::unique_ptr<ChildProcess> installer;
    {
        SystemScale scale(192);
        installer = std::make_unique<ChildProcess>(Quoted(InstallerPath()));
        window = WaitForWindow(kInstallerTitle, kInstallerTitle, installer->id(), 20000);
    }
    ASSERT_NE(window, nullptr);
    PumpFor(1000);  // painted

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 910);
    EXPECT_EQ(client.bottom, 650);
    HWND install = GetDlgItem(window, IDC_INSTALL), close = GetDlgItem(window, IDC_CLOSE);
    EXPECT_TRUE(ClientRectOf(window, install) == (RECT{326, 418, 326 + 266, 418 + 110}));
    EXPECT_NEAR(RegionBox(close).right - RegionBox(close).left, 44, 2);
    // Hit testing through the shapes: the close button's middle is the button, its corner (inside
    // its rectangle, outside its round shape) is the window beneath.
    RECT closeRect;
    GetWindowRect(close, &closeRect);
    EXPECT_EQ(WindowFromPoint(POINT{closeRect.left + 22, closeRect.top + 22}), close);
    EXPECT_EQ(WindowFromPoint(POINT{closeRect.left + 2, closeRect.top + 2}), window);
    EXPECT_EQ(HitAtRow(window, 40), HTCAPTION);
    EXPECT_EQ(HitAtRow(window, 44), HTNOWHERE);
    SetCursorPos(0, 0);
    PumpFor(300);

    // A photograph of the window, compared with the installer's own 200 % images: the rows of the
    // background's gold rule under the top bar, and a row of the install button across its text.
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    TestCanvas shot(910, 650);
    {
        ScopedWindowDc screen(nullptr);
        ASSERT_TRUE(BitBlt(shot.dc(), 0, 0, 910, 650, screen.get(), origin.x, origin.y, SRCCOPY));
    }
    HMODULE exe = LoadLibraryExA(InstallerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    SkinImage keepImagingUp;
    PngPixels background, button;
    ASSERT_TRUE(DecodePngPixels(exe, IDB_BACKGROUND, "PNG200", background));
    ASSERT_TRUE(DecodePngPixels(exe, IDB_INSTALL, "PNG200", button));
    FreeLibrary(exe);
    ASSERT_EQ(background.width, 910);
    auto rgb = [](uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); };
    int differing = 0;
    for (int y = 70; y < 72; ++y)
        for (int x = 0; x < 910; x += 7)
            differing += shot.At(x, y) != rgb(background.pixels[static_cast<size_t>(y) * 910 + x]);
    // The button has the focus: shown (frame 1) where the system always shows keyboard cues, as
    // Wine's default settings do; frame 0 otherwise.
    const int frame = button.width / 4, row = button.height / 2, shown = FocusCuesFromStart() ? 1 : 0;
    for (int x = 0; x < frame; ++x) {
        const uint32_t p = button.pixels[static_cast<size_t>(row) * button.width + shown * frame + x];
        if ((p & 0xFFFFFF) != 0xFF00FF)
            differing += shot.At(326 + x, 418 + row) != rgb(p);
    }
    EXPECT_EQ(differing, 0) << "pixels that are not the 200 % set's";

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(installer->Wait(), 0);
}
