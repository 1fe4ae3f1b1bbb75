#include "cli/console_host.h"

#include <pthread.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

#include "core/abort_flag.h"
#include "core/activity_log.h"
#include "core/file_writer.h"
#include "core/native_path.h"

namespace mx::cli {
namespace {

// The signal that asked the run to stop first; 0 while none has.
std::atomic<int> firstStopSignal{0};

// The first signal winds the run down as Esc does, after the frame being saved; a second one
// will not wait for it and leaves no hidden temporary file behind. The shell's convention gives
// the exit status: 128 + the signal's number.
void onStopSignal(int signal) {
    if (firstStopSignal.exchange(signal) != 0) {
        removeTemporaryFileInProgress();
        _exit(128 + signal);
    }
    AbortFlag.store(true);
}

}  // namespace

ConsoleHost::~ConsoleHost() {
    wipeProgress();
}

std::FILE* progressTerminal() {
    return isatty(STDERR_FILENO) ? stderr : nullptr;
}

QString ConsoleHost::progressText() const {
    // The file being worked on is the overall position + 1 while a run is under way.
    const int file = std::min(m_overallPos + 1, std::max(m_overallMax, 1));
    QString text =
        QStringLiteral("file %1/%2  frame %3").arg(file).arg(m_overallMax).arg(m_filePos);
    // "Start at" may take more captures than the bar's maximum (the frame count of the options);
    // the count alone is then the honest figure.
    if (m_filePos <= m_fileMax) {
        text += QLatin1Char('/') + QString::number(m_fileMax);
    }
    return text;
}

void ConsoleHost::drawProgress() {
    if (!m_progress) {
        return;
    }
    std::fputs(("\r\033[K" + progressText()).toUtf8().constData(), m_progress);
    std::fflush(m_progress);
    m_progressShown = true;
}

void ConsoleHost::reportProblem(const QByteArray& line) {
    wipeProgress();
    if (m_out) {
        std::fflush(m_out);
    }
    std::fputs((line + '\n').constData(), stderr);
    std::fflush(stderr);
    drawProgress();
}

void ConsoleHost::wipeProgress() {
    if (m_progress && m_progressShown) {
        std::fputs("\r\033[K", m_progress);
        std::fflush(m_progress);
        m_progressShown = false;
    }
}

void ConsoleHost::setFileProgressMax(int maximum) {
    m_fileMax = maximum;
    drawProgress();
}

void ConsoleHost::setFileProgressPos(int position) {
    m_filePos = position;
    drawProgress();
}

void ConsoleHost::setOverallProgressMax(int maximum) {
    m_overallMax = maximum;
    drawProgress();
}

void ConsoleHost::setOverallProgressPos(int position) {
    m_overallPos = position;
    m_filePos = 0;
    drawProgress();
}

void ConsoleHost::logMessage(const QString& text) {
    if (!m_out) {
        return;
    }
    wipeProgress();
    const QString row = ActivityLog::currentDateText() + QLatin1Char('\t') +
                        ActivityLog::currentTimeText() + QLatin1Char('\t') + displayLine(text) +
                        QLatin1Char('\n');
    std::fputs(row.toUtf8().constData(), m_out);
    std::fflush(m_out);
    if (m_overallMax > 0) {
        drawProgress();
    }
}

void ConsoleHost::processMessages() {
    QCoreApplication::processEvents();
}

void installInterruptHandler() {
    // Blocked in this thread and so in every thread started after it, the signals wait for
    // one thread of their own, which takes them one at a time, lowest number first: a signal
    // never interrupts a write, and two sent together are told apart in the order they come.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stopSignals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread([stopSignals] {
        for (;;) {
            int signal = 0;
            if (sigwait(&stopSignals, &signal) == 0) {
                onStopSignal(signal);
            }
        }
    }).detach();
}

bool stopSignalTaken() {
    return firstStopSignal.load() != 0;
}

int interruptedExitCode() {
    const int signal = firstStopSignal.load();
    return 128 + (signal != 0 ? signal : SIGINT);
}

}  // namespace mx::cli
