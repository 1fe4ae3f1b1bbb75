#pragma once

#include <QString>

namespace mx {

// What the extraction engine needs of the window that runs it. The main window implements it
// with its widgets, the console tool on the terminal, tests with recorders.
class EngineHost {
public:
    virtual ~EngineHost() = default;

    // Appends a row to the activity log.
    virtual void logMessage(const QString& text) = 0;
    // The per-file progress bar (CurrentPB).
    virtual void setFileProgressMax(int maximum) = 0;
    virtual void setFileProgressPos(int position) = 0;
    // Sets the window caption, then the application title, to the same text.
    virtual void setCaptionAndTitle(const QString& text) = 0;
    // Lets pending window messages through (repaints, the Esc key, clicks).
    virtual void processMessages() = 0;
};

// What the batch run needs beyond the engine's needs.
class BatchHost : public EngineHost {
public:
    // Removes every row of the activity log.
    virtual void clearLog() = 0;
    // The overall progress bar (AllPB).
    virtual void setOverallProgressMax(int maximum) = 0;
    virtual void setOverallProgressPos(int position) = 0;
    // The status bar text.
    virtual void setStatusText(const QString& text) = 0;
};

}  // namespace mx
