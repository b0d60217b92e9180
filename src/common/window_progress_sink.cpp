#include "common/window_progress_sink.h"

#include "install/install_messages.h"

void WindowProgressSink::Post(unsigned percent)
{
    PostMessageA(window_, WM_INSTALL_PROGRESS, 0, static_cast<LPARAM>(percent));
}

void WindowProgressSink::Pause(unsigned milliseconds) { Sleep(milliseconds); }
