#pragma once
// Progress for the installer window: WM_INSTALL_PROGRESS posted with wParam 0 and the percentage
// in lParam; a pause is a sleep of the calling (worker) thread.
#include "common/progress_sink.h"

#include <windows.h>

class WindowProgressSink final : public ProgressSink {
public:
    explicit WindowProgressSink(HWND window) noexcept : window_(window) {}
    void Post(unsigned percent) override;
    void Pause(unsigned milliseconds) override;

private:
    HWND window_;
};
