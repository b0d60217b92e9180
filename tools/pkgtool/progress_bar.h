#pragma once
// A one-line progress bar on standard error, drawn only when that is a terminal.
#include "common/progress_sink.h"

#include <cstdint>
#include <string>

class ProgressBar {
public:
    explicit ProgressBar(const char* label);
    ~ProgressBar();  // clears the line
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Show(unsigned percent);
    void Show(uint64_t done, uint64_t total);

private:
    std::string label_;
    bool active_;
    int shown_ = -1;
};

// Extraction progress (25..100) on a bar; the installer's pauses are left out.
class BarProgressSink final : public ProgressSink {
public:
    explicit BarProgressSink(ProgressBar& bar) : bar_(bar) {}
    void Post(unsigned percent) override { bar_.Show(percent); }
    void Pause(unsigned) override {}

private:
    ProgressBar& bar_;
};
