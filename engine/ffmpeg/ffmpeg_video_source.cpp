#include "engine/ffmpeg/ffmpeg_video_source.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ffmpeg/captures_ahead.h"
#include "engine/ffmpeg/frame_decoder.h"

// A plan of captures whose key frames lie apart is decoded on two single-threaded decoders at
// once, one per core: after a seek a decoder's own threads mostly wait on each other, two
// decoders on different groups of pictures do not (captures_ahead.h).

namespace mx {
namespace {

using av::CaptureGroup;
using av::CapturesAhead;
using av::Decoder;

// The test hooks declared in the header.
std::atomic<bool> splitEveryPlan{false};
std::atomic<int> plansSplit{0};
std::atomic<int64_t> aheadBudgetForTests{0};
std::atomic<int64_t> peakHeldForTests{0};
std::atomic<int> offPlanPictures{0};

// Two single-threaded decoders on groups of captures against one decoder with its own threads
// on both cores: how much faster than one thread such a decoder goes on long runs that skip
// the frames no reference needs, as a run to a capture does (measured on two cores; whole
// frames decoded, H.264 gains 1.7).
double threadedSpeedup(AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_H264:
            return 1.5;
        case AV_CODEC_ID_MPEG4:
            return 1.0;
        default:
            return 1.25;  // HEVC 1.23, VP9 1.27
    }
}

// The bytes decoded frames may hold ahead of their captures: 256 MiB or an eighth of the
// physical memory, whichever is less.
int64_t aheadBudget() {
    const int64_t forced = aheadBudgetForTests.load();
    if (forced > 0) {
        return forced;
    }
    int64_t budget = int64_t{256} << 20;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0) {
        budget = std::min(budget, int64_t(pages) * pageSize / 8);
    }
    return budget;
}

// The time two decoders take for the groups, each taking the costliest one left when free.
int64_t twoDecoderSpan(std::vector<int64_t> costs) {
    std::sort(costs.begin(), costs.end(), std::greater<>());
    std::array<int64_t, 2> busy{};
    for (const int64_t cost : costs) {
        *std::min_element(busy.begin(), busy.end()) += cost;
    }
    return std::max(busy[0], busy[1]);
}

class FfmpegVideoSource final : public VideoSource {
public:
    ~FfmpegVideoSource() override { close(); }

    void open(const QString& path) override {
        close();
        m_path = path;
        m_decoder.open(path);
    }
    int videoHeight() override { return m_decoder.height(); }
    int videoWidth() override { return m_decoder.width(); }
    double duration() override { return m_decoder.duration(); }
    void seek(double seconds) override {
        // Only recorded: the decoding happens when the picture is asked for, so a capture that
        // seeks twice decodes once.
        m_target = std::isnan(seconds) ? 0.0 : seconds;
        m_position = std::clamp(m_target, 0.0, m_decoder.duration());
        m_planned = kUnplanned;
    }
    void seekPlanned(size_t index, double seconds) override {
        seek(seconds);
        m_planned = index;
    }
    double position() override { return m_position; }
    double decodeStart(double seconds) override { return m_decoder.decodeStart(seconds); }
    bool currentImage(QByteArray* dib) override;
    void planCaptures(const std::vector<double>& seconds) override {
        planCaptureSearches(CapturePlan{seconds, {}, {}, {}});
    }
    void planCaptureSearches(const CapturePlan& plan) override;
    void close() override {
        noteAheadEnd();
        m_helper.close();
        m_helperFailed = false;
        m_spare.close();
        m_spareFailed = false;
        m_decoder.close();
        m_path.clear();
        m_target = 0;
        m_position = 0;
        m_planned = kUnplanned;
        m_failed = false;
    }

private:
    static constexpr size_t kUnplanned = size_t(-1);

    std::vector<CaptureGroup> groupsWorthSplitting(const CapturePlan& plan) const;
    void noteAheadEnd();

    Decoder m_decoder;
    Decoder m_helper;  // the second decoder of a plan, opened with the first plan
    bool m_helperFailed = false;
    Decoder m_spare;  // serves searches off their plan while the plan's decoders go on
    bool m_spareFailed = false;
    std::unique_ptr<CapturesAhead> m_ahead;  // declared after the decoders it uses
    QString m_path;
    double m_target = 0;
    double m_position = 0;
    size_t m_planned = kUnplanned;  // the plan index of the capture sought last
    // A request found no picture: like the decoder after such a request, every later one fails
    // at once.
    bool m_failed = false;
};

void FfmpegVideoSource::noteAheadEnd() {
    if (m_ahead) {
        int64_t peak = peakHeldForTests.load();
        while (peak < m_ahead->peakHeld() &&
               !peakHeldForTests.compare_exchange_weak(peak, m_ahead->peakHeld())) {
        }
    }
    m_ahead.reset();
}

bool FfmpegVideoSource::currentImage(QByteArray* dib) {
    if (!dib) {
        return false;
    }
    if (m_ahead && m_planned != kUnplanned && m_planned >= m_ahead->next()) {
        const av::PlannedPicture picture = m_ahead->take(m_planned);
        m_planned = kUnplanned;
        if (m_ahead->exhausted()) {
            noteAheadEnd();
        }
        if (!picture.passedOver) {
            m_failed = m_failed || (!picture.frame && picture.dib.isEmpty());
            if (m_failed) {
                return false;
            }
            if (!picture.frame) {
                *dib = picture.dib;  // converted on the decoding thread
                return true;
            }
            // The first decoder's converter serves the requesting thread only.
            return m_decoder.toDib(*picture.frame, dib);
        }
    }
    if (m_ahead && m_ahead->searches() && !m_failed) {
        if (!m_spare.isOpen() && !m_spareFailed) {
            m_spareFailed = !m_spare.openLike(m_decoder, m_path);
        }
        if (!m_spareFailed) {
            ++offPlanPictures;
            const AVFrame* frame = m_spare.frameAt(m_target);
            m_failed = !frame;
            return frame && m_spare.toDib(*frame, dib);
        }
    }
    noteAheadEnd();
    if (m_failed || !m_decoder.setThreadCount(0)) {
        return false;
    }
    const AVFrame* frame = m_decoder.frameAt(m_target);
    m_failed = !frame;
    return frame && m_decoder.toDib(*frame, dib);
}

// The plan cut into groups that decode from one key frame, when two decoders finish them
// sooner than one decoder with its own threads; empty otherwise.
std::vector<CaptureGroup> FfmpegVideoSource::groupsWorthSplitting(const CapturePlan& plan) const {
    const std::vector<double>& seconds = plan.seconds;
    if (seconds.size() < 2 || !m_decoder.isOpen() || m_decoder.undecodable()) {
        return {};
    }
    const bool forced = splitEveryPlan.load();
    if (!forced && std::thread::hardware_concurrency() < 2) {
        return {};
    }
    std::vector<CaptureGroup> groups;
    std::vector<int64_t> costs;
    size_t last = 0;  // the last picture that is not optional
    for (size_t i = 0; i < seconds.size(); ++i) {
        // A search's optional pictures go on from the capture's own, on the same run; they
        // are seldom decoded, so they add nothing to the cost.
        if (i > 0 && i < plan.optional.size() && plan.optional[i]) {
            groups.back().end = i + 1;
            continue;
        }
        if (i == 0 || seconds[i] < seconds[last] ||
            m_decoder.entryAt(seconds[i]) != m_decoder.entryAt(seconds[last])) {
            groups.push_back({i, i, 0});
        }
        groups.back().end = i + 1;
        groups.back().cost = m_decoder.framesTo(seconds[i]);
        last = i;
    }
    int64_t total = 0;
    for (const CaptureGroup& group : groups) {
        costs.push_back(group.cost);
        total += group.cost;
    }
    if (!forced &&
        (groups.size() < 2 ||
         double(twoDecoderSpan(costs)) * threadedSpeedup(m_decoder.codecId()) > double(total))) {
        return {};
    }
    return groups;
}

void FfmpegVideoSource::planCaptureSearches(const CapturePlan& plan) {
    noteAheadEnd();
    if (m_failed) {
        return;
    }
    std::vector<CaptureGroup> groups = groupsWorthSplitting(plan);
    if (groups.empty()) {
        return;
    }
    if (!m_helper.isOpen() && !m_helperFailed) {
        m_helperFailed = !m_helper.openLike(m_decoder, m_path);
    }
    if (m_helperFailed || !m_decoder.setThreadCount(1)) {
        return;
    }
    try {
        m_ahead = std::make_unique<CapturesAhead>(m_decoder, m_helper, plan, std::move(groups),
                                                  aheadBudget());
        ++plansSplit;
    } catch (const std::system_error&) {
        m_ahead.reset();
    }
}

}  // namespace

std::unique_ptr<VideoSource> createFfmpegVideoSource() {
    // Damaged files make the decoders complain on every frame; the engine reports failures in
    // its own log instead.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    return std::make_unique<FfmpegVideoSource>();
}

void setSplitEveryPlanForTesting(bool on) {
    splitEveryPlan = on;
}

int plansSplitForTesting() {
    return plansSplit.load();
}

void setAheadBudgetForTesting(int64_t bytes) {
    aheadBudgetForTests = bytes;
}

int64_t peakHeldAheadForTesting() {
    return peakHeldForTests.exchange(0);
}

int offPlanPicturesForTesting() {
    return offPlanPictures.load();
}

}  // namespace mx
