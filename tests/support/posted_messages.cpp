#ifdef _WIN32
#include "support/posted_messages.h"

#include "install/install_messages.h"

namespace {

const char kClassName[] = "VelloraPostedMessages";

// Messages reach the record through the window procedure, so that none is lost when something on
// the thread runs a message loop of its own while the code under test works.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* record = reinterpret_cast<std::vector<PostedMessage>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (record && message >= WM_USER)
        record->push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRecordingWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when an earlier sink registered it
    return CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
}

}  // namespace

PostedMessages::PostedMessages() : window_(CreateRecordingWindow())
{
    if (window_)
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&record_));
    TakeThreadMessages();  // leftovers of earlier tests on this thread
}

PostedMessages::~PostedMessages()
{
    if (window_)
        DestroyWindow(window_);
}

std::vector<PostedMessage> PostedMessages::Take()
{
    MSG msg;
    while (window_ && PeekMessageA(&msg, window_, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    std::vector<PostedMessage> taken;
    taken.swap(record_);
    return taken;
}

std::vector<PostedMessage> PostedMessages::TakeThreadMessages()
{
    std::vector<PostedMessage> taken;
    MSG msg;
    while (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE))
        taken.push_back({msg.message, msg.wParam, msg.lParam});
    return taken;
}

PostedMessage Progress(int percentage) { return {WM_INSTALL_PROGRESS, 0, percentage}; }
PostedMessage Status(int index) { return {WM_INSTALL_STATUS, 0, index}; }
#endif
