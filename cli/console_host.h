#pragma once

#include <cstdio>

#include "engine/engine_host.h"

namespace mx::cli {

// The engine's window on a terminal: every log row goes to the output as date TAB time TAB
// text; progress, caption and title have nothing to show.
class ConsoleHost : public EngineHost {
public:
    explicit ConsoleHost(std::FILE* out = stdout) : m_out(out) {}

    void logMessage(const QString& text) override;
    void setFileProgressMax(int) override {}
    void setFileProgressPos(int) override {}
    void setCaptionAndTitle(const QString&) override {}
    void processMessages() override;

private:
    std::FILE* m_out;
};

// Ctrl-C asks the run to wind down (sets the AbortFlag); a second Ctrl-C ends the process.
void installInterruptHandler();

}  // namespace mx::cli
