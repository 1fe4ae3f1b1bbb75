#include "cli/job_sources.h"

#include <sys/stat.h>

#include "core/native_path.h"
#include "joblist/file_search.h"
#include "joblist/job_list.h"

namespace mx::cli {
namespace {

bool isFolder(const QString& path) {
    struct stat info {};
    return ::stat(encodeNativePath(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QStringList searchFolder(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    if (folder == QLatin1String("/")) {
        folder.clear();
    }
    QStringList found;
    TFileSearch search;
    search.setSearchFile(folder + QLatin1Char('/') + QString::fromLatin1(VideoMaskList));
    search.setOnFileFind([&found](const QString& fullpath, const TSearchRec& info) {
        found << fullpath + info.name;
    });
    search.Execute();
    return found;
}

class CountingSource : public ForwardingSource {
public:
    CountingSource(std::unique_ptr<VideoSource> inner, std::shared_ptr<FrameTally::Counts> counts)
        : m_inner(std::move(inner)), m_counts(std::move(counts)) {}

    int videoHeight() override { return noteSize(m_inner->videoHeight()); }
    int videoWidth() override { return noteSize(m_inner->videoWidth()); }
    bool currentImage(QByteArray* dib) override {
        ++m_counts->requests;
        const bool got = m_inner->currentImage(dib);
        m_counts->pictures += got ? 1 : 0;
        return got;
    }

protected:
    VideoSource& inner() override { return *m_inner; }

private:
    int noteSize(int size) {
        if (size > 0) {
            m_counts->hasPicture = true;
        }
        return size;
    }

    std::unique_ptr<VideoSource> m_inner;
    std::shared_ptr<FrameTally::Counts> m_counts;
};

}  // namespace

QStringList expandSourceArguments(const QStringList& arguments) {
    QStringList jobs;
    for (const QString& argument : arguments) {
        if (isFolder(argument)) {
            jobs << searchFolder(argument);
        } else {
            jobs << argument;
        }
    }
    return jobs;
}

FrameTally::FrameTally() : m_counts(std::make_shared<Counts>()) {}

VideoSourceFactory FrameTally::wrap(VideoSourceFactory inner) {
    return [inner = std::move(inner), counts = m_counts]() -> std::unique_ptr<VideoSource> {
        std::unique_ptr<VideoSource> source = inner ? inner() : nullptr;
        if (!source) {
            return nullptr;
        }
        return std::make_unique<CountingSource>(std::move(source), counts);
    };
}

void FrameTally::startJob() {
    *m_counts = Counts{};
}

bool FrameTally::gaveNoFrames() const {
    return m_counts->pictures == 0 && (m_counts->requests > 0 || !m_counts->hasPicture);
}

}  // namespace mx::cli
