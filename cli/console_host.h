#pragma once

#include <cstdio>

#include "engine/engine_host.h"

namespace mx::cli {

// The batch run's window on a terminal: every log row goes to the output as date TAB time
// TAB text (none when `out` is null). When `progress` is given (standard error, when it is a
// terminal), a live line there shows the overall and the per-file progress; it is wiped before each
// log row and drawn again after it.
class ConsoleHost : public BatchHost {
public:
    explicit ConsoleHost(std::FILE* out = stdout, std::FILE* progress = nullptr)
        : m_out(out), m_progress(progress) {}
    ~ConsoleHost() override;

    void logMessage(const QString& text) override;
    void setFileProgressMax(int maximum) override;
    void setFileProgressPos(int position) override;
    void setCaptionAndTitle(const QString&) override {}
    void processMessages() override;
    void clearLog() override {}
    void setOverallProgressMax(int maximum) override;
    void setOverallProgressPos(int position) override;
    void setStatusText(const QString&) override {}

    // The text of the live progress line.
    QString progressText() const;

    // Writes one line to standard error, around the live progress line.
    void reportProblem(const QByteArray& line);

private:
    void drawProgress();
    void wipeProgress();

    std::FILE* m_out;
    std::FILE* m_progress;
    bool m_progressShown = false;
    int m_overallMax = 0;
    int m_overallPos = 0;
    int m_fileMax = 0;
    int m_filePos = 0;
};

// Standard error when it is a terminal, for the live progress line; null otherwise.
std::FILE* progressTerminal();

// SIGINT, SIGTERM and SIGHUP ask the run to stop after the current frame (they set the
// AbortFlag); a second one removes the temporary file being written and ends the process with
// 128 + its number. Called before any other thread is started.
void installInterruptHandler();
// Whether one of those signals has come.
bool stopSignalTaken();
// The exit status of a run the AbortFlag stopped: 128 + the first such signal's number (130 when
// the flag was set otherwise).
int interruptedExitCode();

}  // namespace mx::cli
