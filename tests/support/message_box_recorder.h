#pragma once
// Takes the place of every message box while it lives, records each one and answers IDOK.
#ifdef _WIN32
#include "common/message_box.h"

#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // The boxes shown so far, from any thread.
    std::vector<RecordedBox> boxes() const;

private:
    MessageBoxHook previous_;
};
#endif
