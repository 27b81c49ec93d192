#include "app/shutdown.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// Time the close may take before the process ends without it.
constexpr unsigned CloseSeconds = 10;

sigset_t endSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

class SignalReader : public QObject
{
public:
    SignalReader(int fd, std::function<void()> close, QObject *parent)
        : QObject(parent), fd(fd), close(std::move(close)),
          notifier(fd, QSocketNotifier::Read, this)
    {
        connect(&notifier, &QSocketNotifier::activated, this, &SignalReader::take);
    }
    ~SignalReader() override { ::close(fd); }

private:
    void take()
    {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == ssize_t(sizeof info)) {
        }
        if (closing)
            return;
        closing = true;
        // SIGALRM is not held: a close that hangs ends the process.
        alarm(CloseSeconds);
        close();
    }

    int fd;
    std::function<void()> close;
    QSocketNotifier notifier;
    bool closing = false;
};

} // namespace

void HoldEndSignals()
{
    const sigset_t set = endSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void CloseOnEndSignals(std::function<void()> close)
{
    if (!QCoreApplication::instance())
        return;
    const sigset_t set = endSignals();
    const int fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0)
        return;
    new SignalReader(fd, std::move(close), QCoreApplication::instance());
}
