#include "common/message_box.h"

#include <atomic>

namespace {
std::atomic<MessageBoxHook> g_hook{nullptr};
}

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    MessageBoxHook hook = g_hook.load();
    if (hook)
        return hook(owner, text, caption, type);
    return MessageBoxA(owner, text, caption, type);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return g_hook.exchange(hook); }
