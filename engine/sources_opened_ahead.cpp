#include "engine/sources_opened_ahead.h"

#include <system_error>

#include "core/read_file.h"
#include "joblist/job_list.h"

namespace mx {
namespace {

// The inner factory's source, or the one opened ahead for the path the engine opens.
class AdoptingSource final : public ForwardingSource {
public:
    AdoptingSource(SourcesOpenedAhead& ahead, std::unique_ptr<VideoSource> own)
        : m_ahead(ahead), m_source(std::move(own)) {}

    void open(const QString& path) override {
        if (std::unique_ptr<VideoSource> opened = m_ahead.take(path)) {
            m_source = std::move(opened);
        } else {
            m_source->open(path);
        }
    }

protected:
    VideoSource& inner() override { return *m_source; }

private:
    SourcesOpenedAhead& m_ahead;
    std::unique_ptr<VideoSource> m_source;
};

}  // namespace

SourcesOpenedAhead::SourcesOpenedAhead(VideoSourceFactory inner) : m_inner(std::move(inner)) {}

SourcesOpenedAhead::~SourcesOpenedAhead() {
    drop();
}

void SourcesOpenedAhead::drop() {
    if (m_opening.joinable()) {
        m_opening.join();
    }
    if (m_source) {
        m_source->close();
    }
    m_source.reset();
    m_path.clear();
}

void SourcesOpenedAhead::prepare(const QString& path) {
    drop();
    if (!m_inner || openRegularFile(path).failure == OpenFailure::NotRegular) {
        return;
    }
    std::unique_ptr<VideoSource> source = m_inner();
    if (!source) {
        return;
    }
    VideoSource* opened = source.get();
    m_openFailed = false;
    try {
        m_opening = std::thread([this, opened, path] {
            try {
                opened->open(path);
            } catch (...) {
                // Out of memory, say: the engine opens the file itself and meets it there.
                m_openFailed = true;
            }
        });
    } catch (const std::system_error&) {
        return;  // the engine opens it when it comes
    }
    m_source = std::move(source);
    m_path = path;
}

std::unique_ptr<VideoSource> SourcesOpenedAhead::take(const QString& path) {
    if (!m_source || path != m_path) {
        return nullptr;
    }
    if (m_opening.joinable()) {
        m_opening.join();
    }
    m_path.clear();
    if (m_openFailed) {
        m_source.reset();
    }
    return std::move(m_source);
}

VideoSourceFactory SourcesOpenedAhead::factory() {
    return [this]() -> std::unique_ptr<VideoSource> {
        std::unique_ptr<VideoSource> own = m_inner ? m_inner() : nullptr;
        if (!own) {
            return nullptr;
        }
        return std::make_unique<AdoptingSource>(*this, std::move(own));
    };
}

std::function<void(const QString&)> openingNextAhead(
    SourcesOpenedAhead& ahead, const JobList& jobs,
    std::function<void(const QString&)> extractFile) {
    return
        [&ahead, &jobs, extract = std::move(extractFile), next = 1](const QString& path) mutable {
            if (next < jobs.count()) {
                ahead.prepare(jobs.row(next).path);
            }
            ++next;
            extract(path);
        };
}

}  // namespace mx
