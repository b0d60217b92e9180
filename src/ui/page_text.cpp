#include "ui/page_text.h"

#include "common/fixed_string.h"

namespace {

// Indexed by the status the installation job posts (see install/install_messages.h).
const char* const kStatusTexts[] = {
    "错误，请重新下载",  // 0 failure
    "",                  // 1
    "正在读取配置文件",  // 2
    "正在获取版本信息",  // 3
    "正在下载",          // 4
    "正在启动安装",      // 5
    "正在安装",          // 6
    "安装完成",          // 7 complete
    "正在重新连接",      // 8 a download waits for the network
};

}  // namespace

const char* StatusText(int index)
{
    if (index < 0 || index >= static_cast<int>(sizeof kStatusTexts / sizeof kStatusTexts[0]))
        return nullptr;
    return kStatusTexts[index];
}

ShownSize ShowSize(int32_t kb)
{
    if (kb / 1024 / 1024 > 0)
        return {kb / 1024 / 1024, "GB"};
    if (kb / 1024 > 0)
        return {kb / 1024, "MB"};
    return {kb, "KB"};
}

void FormatSpaceLine(char* out, size_t size, int32_t requiredKb, int32_t freeKb)
{
    const ShownSize required = ShowSize(requiredKb);
    const ShownSize available = ShowSize(freeKb);
    FormatString(out, size, "所需空间：%d%s(可用空间：%d%s)", static_cast<int>(required.number), required.unit,
                 static_cast<int>(available.number), available.unit);
}

void FormatPercentText(char* out, size_t size, int status, int percent)
{
    if ((status >= 2 && status <= 4) || status == 8)
        FormatString(out, size, "已下载%d%%", percent);
    else if (status >= 5 && status <= 7)
        FormatString(out, size, "已安装%d%%", percent);
    else
        CopyString(out, size, "");
}
