#include "app/StopSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

#include <QSocketNotifier>

namespace {

// The handler may only write to a descriptor; the notifier reads on the main thread.
int g_signalFds[2] = {-1, -1};
constexpr std::array kStopSignals = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnStopSignal(int nSignal) {
    // The interrupted code may be about to read errno; a failed write (a full socket) must
    // not change it under its feet.
    const int nSavedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(nSignal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &byte, 1);
    errno = nSavedErrno;
}

}  // namespace

CStopSignals::CStopSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalFds) != 0) {
        return;
    }
    m_pNotifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CStopSignals::OnReadable);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int nSignal : kStopSignals) {
        ::sigaction(nSignal, &action, nullptr);
    }
}

CStopSignals::~CStopSignals() {
    for (const int nSignal : kStopSignals) {
        ::signal(nSignal, SIG_DFL);
    }
    for (int& fd : g_signalFds) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void CStopSignals::OnReadable() {
    unsigned char byte = 0;
    while (::read(g_signalFds[1], &byte, 1) == 1) {
        emit StopRequested(byte);
    }
}
