#pragma once
// One installer per logged-on user, through the named mutex "MutexOnlineDownLoad".
#include "common/win_handles.h"

// Creates or opens the mutex. When another installer already holds it, tells the user
// ("应用程序已经在运行！") and returns false. `mutex` receives the handle: the caller keeps it open
// until the process ends. A mutex that cannot be created at all does not stop the start.
bool TakeSingleInstanceMutex(UniqueHandle& mutex);
