#include "app/single_instance.h"

#include "common/message_box.h"

bool TakeSingleInstanceMutex(UniqueHandle& mutex)
{
    SetLastError(ERROR_SUCCESS);
    // No namespace prefix: the local namespace of the logged-on user.
    mutex.reset(CreateMutexA(nullptr, FALSE, "MutexOnlineDownLoad"));
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    mutex.reset();
    ShowMessageBox(nullptr, "应用程序已经在运行！", "提示", MB_ICONERROR | MB_OK);
    return false;
}
