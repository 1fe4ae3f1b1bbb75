#pragma once

#include <cstdio>

#include "engine/engine_host.h"

namespace mx::cli {

// The batch run's window on a terminal: every log row goes to the output as date TAB time
// TAB text; progress, caption, title and status have nothing to show.
class ConsoleHost : public BatchHost {
public:
    explicit ConsoleHost(std::FILE* out = stdout) : m_out(out) {}

    void logMessage(const QString& text) override;
    void setFileProgressMax(int) override {}
    void setFileProgressPos(int) override {}
    void setCaptionAndTitle(const QString&) override {}
    void processMessages() override;
    void clearLog() override {}
    void setOverallProgressMax(int) override {}
    void setOverallProgressPos(int) override {}
    void setStatusText(const QString&) override {}

private:
    std::FILE* m_out;
};

// Ctrl-C asks the run to wind down (sets the AbortFlag); a second Ctrl-C ends the process.
void installInterruptHandler();

}  // namespace mx::cli
