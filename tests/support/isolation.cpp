// Linked into every test binary, however it is started (CTest, by hand, as a
// child on another platform): the process keeps its lock files, its settings
// and Qt's own settings in a folder of its own and runs in the C locale, so a
// test never reads or writes the user's files nor meets the machine's locks.
#include "serial/device_holders.h"

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folder;

void removeFolder() {
    if (folder.empty())
        return;
    ::nftw(
        folder.c_str(),
        [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

const bool installed = [] {
    // Before QCoreApplication reads the environment: numbers, dates and file
    // names as the tests expect them, whatever the user's locale.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pg5400-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return false;
    folder = pattern;
    std::atexit(removeFolder);
    ::mkdir((folder + "/locks").c_str(), 0700);
    ::mkdir((folder + "/config").c_str(), 0700);
    serialport::SetLockDirectory(QString::fromStdString(folder + "/locks"));
    // CTest names a settings file per test; started otherwise, a test keeps
    // its window place here. Qt's own settings (file dialogs) follow the
    // configuration folder.
    ::setenv("PG5400_SETTINGS", (folder + "/config/pg5400.conf").c_str(), 0);
    ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    return true;
}();

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer reports at exit. A graphics driver module (Mesa's EGL and DRI
// modules, which Qt's Wayland and xcb plugins load) that is closed before
// then leaves what its globals held unreachable and its frames unnamed, so no
// suppression can match. Kept loaded, its globals are scanned like any
// library's, while a real leak is still reported, with names.
extern "C" int dlclose(void*) {
    return 0;
}
#endif
