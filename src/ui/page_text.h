#pragma once
// The texts the installer window draws that follow rules: the job's status texts, the space line
// of the custom-install page and the progress page's percentage.
#include <cstddef>
#include <cstdint>

// The status text of index 0..8 (0 failure, 7 complete, 8 reconnecting), or nullptr for any other
// index.
const char* StatusText(int index);

// A KiB count as the window shows it: whole GB when there is at least one, else whole MB when
// there is at least one, else KB. Division truncates toward zero.
struct ShownSize {
    int32_t number;
    const char* unit;  // "GB", "MB" or "KB"
};
ShownSize ShowSize(int32_t kb);

// "所需空间：%d%s(可用空间：%d%s)" with the required and the free space.
void FormatSpaceLine(char* out, size_t size, int32_t requiredKb, int32_t freeKb);

// The percentage beside the status: "已下载%d%%" while reading and downloading (status 2..4, 8),
// "已安装%d%%" while installing (5..7), empty otherwise.
void FormatPercentText(char* out, size_t size, int status, int percent);

template <size_t N>
void FormatSpaceLine(char (&out)[N], int32_t requiredKb, int32_t freeKb)
{
    FormatSpaceLine(out, N, requiredKb, freeKb);
}

template <size_t N>
void FormatPercentText(char (&out)[N], int status, int percent)
{
    FormatPercentText(out, N, status, percent);
}
