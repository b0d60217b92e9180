// The download's local file: nobody else writes it meanwhile, and a partial one never stays.
#include "net/download_target.h"

#include "common/win_handles.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(DownloadTarget, NoOtherWriterMeanwhileAndDiscardDeletesEvenAfterAFailedTruncate)
{
    ScratchDir dir("target");
    const std::string path = dir / "pkg.bin";
    DownloadTarget target;
    ASSERT_TRUE(target.Create(path.c_str()));
    ASSERT_TRUE(target.Write("0123456789", 10));
    const DWORD anyone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_EQ(UniqueFileHandle(CreateFileA(path.c_str(), GENERIC_WRITE, anyone, nullptr, OPEN_EXISTING, 0, nullptr)).get(),
              INVALID_HANDLE_VALUE)
        << "another writer could change the file while it downloads";
    {
        // A mapped view keeps the file from being emptied.
        UniqueFileHandle reader(CreateFileA(path.c_str(), GENERIC_READ, anyone, nullptr, OPEN_EXISTING, 0, nullptr));
        UniqueHandle mapping(CreateFileMappingA(reader.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
        ASSERT_NE(view, nullptr);
        EXPECT_FALSE(target.Truncate());
        UnmapViewOfFile(view);
    }
    target.Discard();
    EXPECT_FALSE(FileExists(path)) << "the partial file stayed";
}
