#pragma once
// Real files that fill up, for tests of what the writers do then, and the
// process's standard error read back.
//
// FileSizeLimit puts a file-size limit on this process (RLIMIT_FSIZE): a
// write that would take a file past it is cut short there, and one at or
// past it fails with EFBIG ("File too large"), as a full disk does with
// ENOSPC, on a real file that can be cut back (unlike /dev/full). SIGXFSZ
// is ignored so the failing call reports it instead of the process dying.
#include <QString>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        set(bytes);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    void set(rlim_t bytes) {
        rlimit l = old_;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    void lift() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

// Standard error (file descriptor 2) into a pipe while it lives; text()
// gives what was written so far. For short texts (a pipe holds 64 KiB).
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        if (pipe(fds_) != 0) return;
        fcntl(fds_[0], F_SETFL, O_NONBLOCK);
        saved_ = dup(2);
        dup2(fds_[1], 2);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
        if (fds_[0] >= 0) close(fds_[0]);
        if (fds_[1] >= 0) close(fds_[1]);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    QString text() {
        std::fflush(stderr);
        char buf[4096];
        for (ssize_t n; (n = read(fds_[0], buf, sizeof buf)) > 0;)
            got_.append(buf, int(n));
        return QString::fromUtf8(got_);
    }

private:
    int fds_[2] = {-1, -1};
    int saved_ = -1;
    QByteArray got_;
};
