#include "engine/good_frames.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "core/format_clock.h"
#include "engine/video_source.h"

namespace mx {
namespace {

// The candidate grid: a tenth of the reach, so that ten candidates ahead cover it, but at least
// one frame at 25 per second and at most half a second, beyond which a short good stretch
// between poor ones would be stepped over.
constexpr double kStepShare = 0.1;
constexpr double kMinStep = 0.04;
constexpr double kMaxStep = 0.5;
// The search budget per capture, in pictures. Ahead, candidates come from the forward run the
// decoder makes anyway; behind, they need one seek back. Ten ahead and five behind keep a
// video whose every other capture is poor under one and a half times the plain run's cost.
constexpr int kAheadCandidates = 10;
constexpr int kBehindCandidates = 5;
// Grid positions computed from the position may miss the window's edge by rounding.
constexpr double kEdge = 1e-9;

// A converted picture measured where it lies, without a copy: the source's own 32-bit
// bottom-up pictures, read upside down, which the measures compared among themselves allow.
std::optional<FrameMeasure> measureInPlace(const QByteArray& dib) {
    constexpr qsizetype kHeader = 40;
    if (dib.size() < kHeader || qFromLittleEndian<quint16>(dib.constData() + 14) != 32) {
        return std::nullopt;
    }
    const qint64 width = qFromLittleEndian<qint32>(dib.constData() + 4);
    const qint64 rows = std::abs(qint64(qFromLittleEndian<qint32>(dib.constData() + 8)));
    if (width <= 0 || rows == 0 || width * rows * 4 > dib.size() - kHeader) {
        return std::nullopt;
    }
    const auto* pixels =
        reinterpret_cast<const uchar*>(dib.constData()) + dib.size() - width * rows * 4;
    return measureFrame(
        QImage(pixels, int(width), int(rows), int(width * 4), QImage::Format_RGB32));
}

// The flaw of a frame between its neighbours (either may be null); where captures must differ,
// a frame like one taken before is poor too.
Flaw flawAmong(FrameJudge& judge, const FrameMeasure& frame, const FrameMeasure* before,
               const FrameMeasure* after, double gapBefore, double gapAfter, bool diverse,
               const std::vector<FrameMeasure>& taken) {
    const Flaw flaw = judge.judge(frame, before, after, gapBefore, gapAfter);
    if (flaw != Flaw::None || !diverse) {
        return flaw;
    }
    const bool alike = std::any_of(taken.begin(), taken.end(), [&](const FrameMeasure& earlier) {
        return FrameJudge::alike(frame, earlier);
    });
    return alike ? Flaw::Alike : Flaw::None;
}

}  // namespace

struct GoodFrameSearch::Probe {
    double time = 0;
    std::optional<CapturedFrame> frame;
    bool failed = false;
    FrameMeasure measure;

    // The figures alone, for a frame still needed as a neighbour but no longer as a candidate.
    Probe figures() const {
        Probe copy;
        copy.time = time;
        copy.failed = failed || !frame;
        copy.measure = measure;
        return copy;
    }
};

GoodFrameSearch::GoodFrameSearch(VideoSource& source, double duration, double spacing, bool diverse)
    : m_source(source),
      m_duration(std::max(0.0, duration)),
      m_reach(spacing > 0 && std::isfinite(spacing) ? spacing / 2 : 0),
      m_step(0),
      m_diverse(diverse) {
    if (m_reach >= kMinStep) {
        m_step = std::clamp(m_reach * kStepShare, kMinStep, kMaxStep);
    }
}

std::optional<double> GoodFrameSearch::neighbourBefore(double at) const {
    // The neighbour before stays on the way from the key frame: one further back would cost a
    // decode of the group of pictures before, most of the plain run's cost again. Closer to the
    // key frame than half a step, a capture is judged by two frames after it instead.
    const double before = std::max({0.0, at - m_step, m_source.decodeStart(at)});
    if (at - before < m_step / 2) {
        return std::nullopt;
    }
    return before;
}

int GoodFrameSearch::candidatesAhead(double at) const {
    const double last = std::min(m_duration, at + m_reach);
    int count = 0;
    while (count < kAheadCandidates && at + (count + 1) * m_step <= last + kEdge) {
        ++count;
    }
    return count;
}

CaptureRequests GoodFrameSearch::requestsAround(double position) const {
    const double at = std::clamp(position, 0.0, m_duration);
    if (!active()) {
        return {{at}, 1};
    }
    const auto grid = [&](int j) { return std::min(m_duration, at + j * m_step); };
    CaptureRequests requests;
    const std::optional<double> before = neighbourBefore(at);
    requests.seconds = before ? std::vector<double>{*before, at, grid(1)}
                              : std::vector<double>{at, grid(1), grid(2)};
    requests.own = requests.seconds.size();
    // Each candidate is judged with the grid point after it.
    for (int j = before ? 2 : 3; j <= candidatesAhead(at) + 1; ++j) {
        requests.seconds.push_back(grid(j));
    }
    return requests;
}

AheadTest GoodFrameSearch::aheadTest(const std::vector<double>& positions) const {
    struct Capture {
        std::vector<double> seconds;
        std::size_t at = 0;  // the position's own picture
        std::vector<FrameMeasure> measures;
        std::optional<FrameMeasure> taken;  // the picture the test expects the capture to take
    };
    struct State {
        std::vector<Capture> captures;
        std::mutex mutex;  // guards the sharpness reference and what captures take
        double sharpest = 0;
    };
    auto state = std::make_shared<State>();
    for (const double position : positions) {
        const double at = std::clamp(position, 0.0, m_duration);
        state->captures.push_back(
            {requestsAround(at).seconds, neighbourBefore(at) ? 1u : 0u, {}, std::nullopt});
    }
    // Each capture's pictures come from one decoding thread at a time; the sharpness reference
    // and the pictures expected taken are shared. Likeness is tested against those of earlier
    // captures decided by then.
    return [state, diverse = m_diverse](std::size_t index, std::size_t first,
                                        const std::vector<QByteArray>& pictures) {
        Capture& capture = state->captures.at(index);
        std::vector<FrameMeasure>& m = capture.measures;
        if (first != m.size()) {
            return false;
        }
        for (const QByteArray& picture : pictures) {
            const std::optional<FrameMeasure> measure = measureInPlace(picture);
            if (!measure) {
                return false;
            }
            m.push_back(*measure);
        }
        const std::size_t a = capture.at;
        if (m.size() < a + 2 || capture.seconds.size() < m.size()) {
            return false;
        }
        const auto gap = [&](std::size_t from, std::size_t to) {
            return capture.seconds[to] - capture.seconds[from];
        };
        // Measured outside the lock, judged inside it.
        std::lock_guard<std::mutex> lock(state->mutex);
        FrameJudge judge(state->sharpest);
        std::vector<FrameMeasure> taken;
        for (std::size_t c = 0; diverse && c < index; ++c) {
            if (state->captures[c].taken) {
                taken.push_back(*state->captures[c].taken);
            }
        }
        const auto poor = [&](std::size_t i, bool withBefore) {
            return flawAmong(judge, m[i], withBefore ? &m[i - 1] : nullptr, &m[i + 1],
                             withBefore ? gap(i - 1, i) : 0, gap(i, i + 1), diverse,
                             taken) != Flaw::None;
        };
        bool wanted = poor(a, a > 0) ||
                      (a == 0 && FrameJudge::fading(m[0], m[1], m[2], gap(0, 1), gap(1, 2)));
        std::size_t chosen = wanted ? m.size() : a;
        for (std::size_t k = a + 1; wanted && k + 1 < m.size(); ++k) {
            wanted = poor(k, true);
            chosen = wanted ? chosen : k;
        }
        if (chosen < m.size()) {
            capture.taken = m[chosen];
        }
        state->sharpest = std::max(state->sharpest, judge.sharpest());
        return wanted;
    };
}

GoodFrameSearch::Probe GoodFrameSearch::request(double seconds, std::size_t planned) {
    Probe probe;
    if (planned == FrameSchedule::kUnplanned) {
        m_source.seek(seconds);
    } else {
        m_source.seekPlanned(planned, seconds);
    }
    probe.time = m_source.position();
    QByteArray dib;
    if (!m_source.currentImage(&dib)) {
        probe.failed = true;
        return probe;
    }
    probe.frame = frameFromDib(dib);
    if (probe.frame) {
        probe.measure = measureFrame(probe.frame->image);
    }
    return probe;
}

Flaw GoodFrameSearch::judge(const Probe& probe, const Probe* before, const Probe* after) {
    const auto known = [](const Probe* p) { return p && !p->failed ? &p->measure : nullptr; };
    return flawAmong(m_judge, probe.measure, known(before), known(after),
                     before ? probe.time - before->time : 0, after ? after->time - probe.time : 0,
                     m_diverse, m_taken);
}

GoodFrame GoodFrameSearch::take(double position, std::size_t planIndex) {
    GoodFrame result;
    result.time = position;
    const std::vector<double> around = requestsAround(position).seconds;
    if (!active()) {
        Probe at = request(around[0], planIndex);
        result.requestFailed = at.failed;
        result.frame = std::move(at.frame);
        return result;
    }
    const auto planned = [planIndex](std::size_t k) {
        return planIndex == FrameSchedule::kUnplanned ? planIndex : planIndex + k;
    };
    const bool hasBefore = neighbourBefore(std::clamp(position, 0.0, m_duration)).has_value();
    std::optional<Probe> before;
    std::optional<Probe> further;  // the grid point after the next, without a neighbour before
    if (hasBefore) {
        before = request(around[0], planned(0));
    }
    const std::size_t atIndex = hasBefore ? 1 : 0;
    Probe at = request(around[atIndex], planned(atIndex));
    Probe after = request(around[atIndex + 1], planned(atIndex + 1));
    if (!hasBefore) {
        further = request(around[2], planned(2));
    }
    result.requestFailed = at.failed;
    if (!at.frame) {
        return result;
    }
    result.flaw = judge(at, before ? &*before : nullptr, &after);
    if (result.flaw == Flaw::None && further && !after.failed && !further->failed &&
        FrameJudge::fading(at.measure, after.measure, further->measure, after.time - at.time,
                           further->time - after.time)) {
        result.flaw = Flaw::Fade;
    }
    std::optional<Probe> chosen;
    if (result.flaw != Flaw::None) {
        const double centre = around[atIndex];
        const double first = std::max(0.0, centre - m_reach);

        // Ahead: each candidate is judged once the grid point after it is decoded.
        Probe previous = at.figures();
        Probe current = std::move(after);
        for (int k = 1; k <= candidatesAhead(centre); ++k) {
            // The grid point after the candidate: requestsAround names every one.
            const std::size_t grid = atIndex + std::size_t(k) + 1;
            Probe next =
                k == 1 && further ? std::move(*further) : request(around[grid], planned(grid));
            if (current.frame && judge(current, &previous, &next) == Flaw::None) {
                chosen = std::move(current);
                break;
            }
            previous = current.figures();
            current = std::move(next);
        }

        // Behind, only when nothing ahead would do: one seek, then forward to the position.
        // Frames arrive far to near, so the last good one is the nearest.
        int behind = 0;
        while (!chosen && behind < kBehindCandidates &&
               centre - (behind + 1) * m_step >= first - kEdge) {
            ++behind;
        }
        // The grid point before the position, taken already when it was the neighbour.
        const auto behindAt = [&](int j) {
            const double seconds = centre - j * m_step;
            if (j == 1 && before && around[0] == seconds) {
                return std::move(*before);
            }
            return request(seconds);
        };
        if (behind > 0) {
            Probe farther = request(std::max(0.0, centre - (behind + 1) * m_step));
            Probe candidate = behindAt(behind);
            for (int j = behind; j >= 1; --j) {
                Probe nearer = j == 1 ? at.figures() : behindAt(j - 1);
                if (candidate.frame && judge(candidate, &farther, &nearer) == Flaw::None) {
                    chosen = std::move(candidate);
                }
                farther = candidate.figures();
                candidate = std::move(nearer);
            }
        }
    }
    if (chosen) {
        result.frame = std::move(chosen->frame);
        result.time = chosen->time;
        result.moved = true;
    } else {
        result.frame = std::move(at.frame);
    }
    if (m_diverse && result.frame) {
        m_taken.push_back(chosen ? chosen->measure : at.measure);
    }
    return result;
}

QString preciseClock(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) {
        return FormatClock(seconds);
    }
    const double hundredths = std::round(seconds * 100);
    const double whole = std::floor(hundredths / 100);
    const int rest = static_cast<int>(hundredths - whole * 100);
    QString text = FormatClock(whole);
    if (rest != 0) {
        text += QString::asprintf(".%02d", rest);
    }
    return text;
}

}  // namespace mx
