#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "engine/video_source.h"

namespace mx {

class JobList;

// Opens and probes the next job's file while the current one decodes. Its factory hands out
// sources whose open() adopts the source opened ahead for that very path, or opens the path
// itself as the inner factory's source would; the source is the same either way, only opened
// sooner. Nothing is logged, drawn or written ahead, so the order of everything the run shows
// and saves stays with the engine. Used from one thread; only the opening runs on another.
class SourcesOpenedAhead {
public:
    explicit SourcesOpenedAhead(VideoSourceFactory inner);
    ~SourcesOpenedAhead();
    SourcesOpenedAhead(const SourcesOpenedAhead&) = delete;
    SourcesOpenedAhead& operator=(const SourcesOpenedAhead&) = delete;

    // Starts opening path on a thread of its own, in place of any source opened ahead and not
    // taken. A path that is no regular file is left alone, as the engine leaves it (no open may
    // block), and so is one the process cannot start a thread for.
    void prepare(const QString& path);

    // The factory for the engine.
    VideoSourceFactory factory();

    // The source opened ahead for path, once its opening is done; null when there is none.
    std::unique_ptr<VideoSource> take(const QString& path);

private:
    void drop();

    VideoSourceFactory m_inner;
    QString m_path;
    std::unique_ptr<VideoSource> m_source;
    std::atomic<bool> m_openFailed{false};
    std::thread m_opening;
};

// The extractFile of BatchRun for a list that stays as it is during the run: before each file
// is extracted, the file of the row after it starts opening ahead.
std::function<void(const QString&)> openingNextAhead(
    SourcesOpenedAhead& ahead, const JobList& jobs,
    std::function<void(const QString&)> extractFile);

}  // namespace mx
