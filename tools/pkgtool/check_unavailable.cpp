// pkgtool check needs libcurl, which the Windows builds of pkgtool do without: publishers run the
// check from the Linux machines of their release pipelines.
#include "pkgtool/commands.h"

int RunCheck(const std::string&, const std::string&, const std::string&, bool)
{
    return Fail("check runs in the Linux build of pkgtool (it fetches with libcurl)");
}
