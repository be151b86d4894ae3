#include "StopSignals.h"

#include <cerrno>
#include <csignal>
#include <sys/signalfd.h>

#include "support/Failure.h"

namespace ardenax::app {

StopSignals::StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGCHLD);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signals_ = FileDescriptor(::signalfd(-1, &signals, SFD_CLOEXEC));
    if (signals_.get() < 0) {
        throw Failure{Failure::InvalidProcedureCall, u"cannot wait for signals", u"ardenax"};
    }
}

int StopSignals::next() const {
    signalfd_siginfo received{};
    ssize_t got = 0;
    do {
        got = ::read(signals_.get(), &received, sizeof received);
    } while (got < 0 && errno == EINTR);
    if (got != sizeof received) {
        throw Failure{Failure::InvalidProcedureCall, u"cannot read the signals", u"ardenax"};
    }
    return static_cast<int>(received.ssi_signo);
}

}  // namespace ardenax::app
