#pragma once

// A file size limit for the calling process while it lives: writes beyond it
// fail (as on a full disk, even for root) instead of raising SIGXFSZ.

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        ok_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
        rlimit small = saved_;
        small.rlim_cur = bytes;
        ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok() const { return ok_; }
    // Ends the limit before the end of the scope.
    void lift() {
        if (lifted_)
            return;
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
        lifted_ = true;
    }

private:
    rlimit saved_{};
    void (*handler_)(int) = SIG_DFL;
    bool ok_ = false;
    bool lifted_ = false;
};

} // namespace testsupport
