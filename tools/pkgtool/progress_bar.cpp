#include "pkgtool/progress_bar.h"

#include "pkgtool/tool_platform.h"

#include <cstdio>

namespace {

constexpr int kWidth = 40;

}  // namespace

ProgressBar::ProgressBar(const char* label) : label_(label), active_(StderrIsTerminal()) { Show(0u); }

ProgressBar::~ProgressBar()
{
    if (active_ && shown_ >= 0) {
        fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + kWidth + 8, "");
        fflush(stderr);
    }
}

void ProgressBar::Show(unsigned percent)
{
    if (!active_ || static_cast<int>(percent) == shown_ || percent > 100)
        return;
    shown_ = static_cast<int>(percent);
    char bar[kWidth + 1];
    int full = static_cast<int>(percent) * kWidth / 100;
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < full ? '#' : '.';
    bar[kWidth] = '\0';
    fprintf(stderr, "\r%s [%s] %3u%%", label_.c_str(), bar, percent);
    fflush(stderr);
}

void ProgressBar::Show(uint64_t done, uint64_t total)
{
    Show(static_cast<unsigned>(total == 0 ? 100 : done >= total ? 100 : done * 100 / total));
}
