#include "app/ui/TerminationSignals.hpp"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vorla {

namespace {

// A signal handler can reach nothing but a static: the pipe's write end, or -1.
std::atomic<int> signalPipe{-1};

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = write(signalPipe.load(), &byte, 1);
    errno = saved;
}

void setTerminationAction(void (*action)(int)) {
    struct sigaction setting {};
    setting.sa_handler = action;
    sigemptyset(&setting.sa_mask);
    setting.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &setting, nullptr);
    sigaction(SIGINT, &setting, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal) {
    int ends[2];
    // Without a pipe the signals keep their default action, which ends the app too.
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [readEnd = readEnd_, onSignal = std::move(onSignal)] {
                         char bytes[64];
                         while (read(readEnd, bytes, sizeof bytes) > 0) {
                         }
                         onSignal();
                     });
    signalPipe = writeEnd_;
    setTerminationAction(onTerminationSignal);
}

TerminationSignals::~TerminationSignals() {
    if (readEnd_ < 0) {
        return;
    }
    setTerminationAction(SIG_DFL);
    signalPipe = -1;
    notifier_.reset();
    close(readEnd_);
    close(writeEnd_);
}

} // namespace vorla
