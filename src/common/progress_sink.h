#pragma once
// Where the extraction steps report their percentage. On Windows the installer window receives it
// as WM_INSTALL_PROGRESS (window_progress_sink.h); tests record the values instead.

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Hands `percent` (0..100) to the receiver without waiting for it.
    virtual void Post(unsigned percent) = 0;
    // Gives the receiver time to show a posted value: the worker thread sleeps.
    virtual void Pause(unsigned milliseconds) = 0;
};
