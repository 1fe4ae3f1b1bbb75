#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "engine/video_source.h"

namespace mx::cli {

// The jobs the source arguments stand for, in argument order: a folder gives its video files
// and those of its subfolders as "Add Folder" finds them (grouped by mask, each folder before
// its subfolders); anything else is taken as it is, so a missing file is a job that gives no
// frames.
QStringList expandSourceArguments(const QStringList& arguments);

// Watches the pictures the engine gets from its video sources, job by job, to tell the jobs
// that gave nothing.
class FrameTally {
public:
    FrameTally();
    // A factory whose sources count into this tally.
    VideoSourceFactory wrap(VideoSourceFactory inner);
    // Starts counting for the next job.
    void startJob();
    // True when the current job got no picture although captures were asked for or its file
    // shows no picture at all (a missing, unreadable or non-video file).
    bool gaveNoFrames() const;

    struct Counts {
        int requests = 0;
        int pictures = 0;
        bool hasPicture = false;
    };

private:
    std::shared_ptr<Counts> m_counts;
};

}  // namespace mx::cli
