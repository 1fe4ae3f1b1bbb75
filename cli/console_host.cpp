#include "cli/console_host.h"

#include <unistd.h>

#include <QCoreApplication>
#include <csignal>

#include "core/abort_flag.h"
#include "core/activity_log.h"

namespace mx::cli {
namespace {

volatile std::sig_atomic_t interruptCount = 0;

extern "C" void onInterrupt(int) {
    if (interruptCount > 0) {
        _exit(130);
    }
    interruptCount = 1;
    AbortFlag.store(true);
}

}  // namespace

void ConsoleHost::logMessage(const QString& text) {
    const QString row = ActivityLog::currentDateText() + QLatin1Char('\t') +
                        ActivityLog::currentTimeText() + QLatin1Char('\t') + text +
                        QLatin1Char('\n');
    std::fputs(row.toUtf8().constData(), m_out);
    std::fflush(m_out);
}

void ConsoleHost::processMessages() {
    QCoreApplication::processEvents();
}

void installInterruptHandler() {
    static_assert(std::atomic<bool>::is_always_lock_free, "the handler stores into AbortFlag");
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace mx::cli
