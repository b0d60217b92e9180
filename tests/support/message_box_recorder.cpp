#ifdef _WIN32
#include "support/message_box_recorder.h"

#include <mutex>

namespace {
std::mutex g_lock;
std::vector<RecordedBox> g_boxes;

int Record(HWND owner, const char* text, const char* caption, UINT type)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}
}  // namespace

MessageBoxRecorder::MessageBoxRecorder()
{
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_boxes.clear();
    }
    previous_ = SetMessageBoxHook(Record);
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHook(previous_); }

std::vector<RecordedBox> MessageBoxRecorder::boxes() const
{
    std::lock_guard<std::mutex> hold(g_lock);
    return g_boxes;
}
#endif
