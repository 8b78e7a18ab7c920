#include "os/Process.h"

#include <climits>
#include <unistd.h>

namespace Process {

std::string programFolder()
{
    char self[PATH_MAX];
    const ssize_t size = readlink("/proc/self/exe", self, sizeof self - 1);
    if (size <= 0)
        return {};
    std::string folder(self, size_t(size));
    return folder.erase(folder.rfind('/') + 1);
}

void replaceWith(const std::string& path, char* argv[])
{
    if (access(path.c_str(), X_OK) != 0)
        return;
    std::string program = path;
    argv[0] = program.data();
    execv(program.c_str(), argv);
}

bool isRunning(long long pid)
{
    const std::string folder = "/proc/" + std::to_string(pid);
    return pid > 0 && access(folder.c_str(), F_OK) == 0;
}

} // namespace Process
