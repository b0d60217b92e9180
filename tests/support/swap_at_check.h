#pragma once
// Another process of the player's, in a test: at the moment the installer has checked a file
// (SetCheckedFileHook), a thread of the test tries to put other bytes in the place of that file
// or of one made from it, by writing over it and, failing that, by moving another file over its
// name. The installer waits meanwhile, as it would when the swap is timed with an oplock.
#ifdef _WIN32
#include "install/publisher_trust.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

class SwapAtCheck {
public:
    // When a checked file's path ends in `suffix`, `bytes` go in place of the file at `target`, or
    // of the checked file itself when `target` is empty.
    SwapAtCheck(std::string suffix, std::string bytes, std::string target = "")
        : suffix_(std::move(suffix)), bytes_(std::move(bytes)), target_(std::move(target))
    {
        instance_ = this;
        SetCheckedFileHook(&SwapAtCheck::Checked);
    }
    ~SwapAtCheck()
    {
        SetCheckedFileHook(nullptr);
        instance_ = nullptr;
    }
    SwapAtCheck(const SwapAtCheck&) = delete;
    SwapAtCheck& operator=(const SwapAtCheck&) = delete;

    int tried() const { return tried_; }
    int swapped() const { return swapped_; }

private:
    static void Checked(const char* path)
    {
        SwapAtCheck* self = instance_;
        const std::string file = path;
        if (!self || file.size() < self->suffix_.size() ||
            file.compare(file.size() - self->suffix_.size(), std::string::npos, self->suffix_) != 0)
            return;
        self->path_ = self->target_.empty() ? file : self->target_;
        HANDLE swapper = CreateThread(nullptr, 0, &SwapAtCheck::Swap, self, 0, nullptr);
        WaitForSingleObject(swapper, INFINITE);
        CloseHandle(swapper);
    }

    static DWORD WINAPI Swap(LPVOID parameter)
    {
        auto* self = static_cast<SwapAtCheck*>(parameter);
        ++self->tried_;
        HANDLE file = CreateFileA(self->path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const bool whole = WriteFile(file, self->bytes_.data(), static_cast<DWORD>(self->bytes_.size()), &written,
                                         nullptr) && written == self->bytes_.size();
            CloseHandle(file);
            self->swapped_ += whole ? 1 : 0;
            return 0;
        }
        const std::string other = self->path_ + ".swap";
        if (WriteFileBytes(other, self->bytes_) &&
            MoveFileExA(other.c_str(), self->path_.c_str(), MOVEFILE_REPLACE_EXISTING))
            ++self->swapped_;
        DeleteFileA(other.c_str());
        return 0;
    }

    static inline SwapAtCheck* instance_ = nullptr;
    std::string suffix_, bytes_, target_, path_;
    int tried_ = 0, swapped_ = 0;
};
#endif
