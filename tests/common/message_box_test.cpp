#ifdef _WIN32
#include "common/message_box.h"
#include "support/message_box_recorder.h"

#include <gtest/gtest.h>

TEST(MessageBoxSeam, RecorderTakesTheBoxesPlaceAndRestoresIt)
{
    {
        MessageBoxRecorder recorder;
        EXPECT_EQ(ShowMessageBox(nullptr, "文本", "错误", MB_OK), IDOK);
        auto boxes = recorder.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "文本");
        EXPECT_EQ(boxes[0].caption, "错误");
        EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK));
    }
    EXPECT_EQ(SetMessageBoxHook(nullptr), nullptr);
}
#endif
