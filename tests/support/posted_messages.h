#pragma once
// Records what code posts to a window: a message-only window on the calling thread that keeps
// every message from WM_USER up which it receives. The test collects them after the code under
// test has run on the same thread.
#ifdef _WIN32
#include <windows.h>

#include <ostream>
#include <vector>

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const PostedMessage& other) const
    {
        return message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};

class PostedMessages {
public:
    PostedMessages();
    ~PostedMessages();
    PostedMessages(const PostedMessages&) = delete;
    PostedMessages& operator=(const PostedMessages&) = delete;

    HWND window() const { return window_; }

    // The messages the window has received, oldest first (waiting ones are delivered first), and
    // forgets them.
    std::vector<PostedMessage> Take();

    // Removes and returns the messages posted to this thread without a window (PostMessage with
    // a null window), oldest first.
    static std::vector<PostedMessage> TakeThreadMessages();

private:
    HWND window_;
    std::vector<PostedMessage> record_;
};

// Readable test failures: "20000(0, 42)".
inline void PrintTo(const PostedMessage& m, std::ostream* out)
{
    *out << m.message << "(" << m.wParam << ", " << m.lParam << ")";
}

// Shorthands for the installer's two messages.
PostedMessage Progress(int percentage);
PostedMessage Status(int index);
#endif
