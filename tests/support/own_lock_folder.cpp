// Linked into every test that opens serial devices: lock files go to a folder
// of this test process, so a test run never meets the machine's locks (a
// running panel's, another run's) nor leaves any there.
#include "serial/tty_device.h"

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

std::string folder;

void removeFolder() {
    if (folder.empty())
        return;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                ::unlink((folder + '/' + entry->d_name).c_str());
        ::closedir(dir);
    }
    ::rmdir(folder.c_str());
}

const bool installed = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pg5400-locks-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return false;
    folder = pattern;
    serialport::SetLockDirectory(QString::fromStdString(folder));
    std::atexit(removeFolder);
    return true;
}();

} // namespace
