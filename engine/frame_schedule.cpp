#include "engine/frame_schedule.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/abort_flag.h"
#include "core/error.h"
#include "core/format_clock.h"
#include "core/int_text.h"
#include "engine/engine_host.h"
#include "engine/video_source.h"
#include "settings/extraction_options.h"

namespace mx {
namespace {

std::uint32_t randomState = 0;

// Captures handed to the source in one plan: enough to keep its decoders busy, few enough
// that a plan stays small whatever the capture count.
constexpr int kPlanLength = 64;

// Rounds half to even and saturates to the 32-bit range (NaN gives 0).
int roundToInt(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded == rounded)) {
        return 0;
    }
    if (rounded <= std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    if (rounded >= std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(rounded);
}

}  // namespace

int randomDraw(int n) {
    randomState = randomState * 134775813u + 1u;
    if (n <= 0) {
        return 0;
    }
    return static_cast<int>((std::uint64_t(randomState) * std::uint64_t(n)) >> 32);
}

void resetRandomGeneratorForTesting() {
    randomState = 0;
}

FrameSchedule::FrameSchedule(EngineHost& host, const ExtractionOptions& options)
    : m_host(host), m_options(options) {}

void FrameSchedule::readCaptureCount() {
    m_count = StrToInt(m_options.FrameNumberEdit());
    if (m_options.rbMatrix()) {
        m_count = 3 * 3;
    }
}

void FrameSchedule::setUp(VideoSource& source, double durationAtOpen,
                          const std::function<void()>& sheetSetUp) {
    m_durationAtOpen = durationAtOpen;
    m_step = durationAtOpen / (double(m_count) + 1);
    if (m_count < 0) {
        throw Error(QStringLiteral("The number of frames must not be negative: ") +
                    m_options.FrameNumberEdit());
    }
    m_host.setFileProgressMax(m_count);
    if (m_options.rbEverSec()) {
        source.seek(StrToInt(m_options.edtSecStart()));
        m_host.logMessage(QStringLiteral("Start every sec-") + m_options.edtSecStart() +
                          QStringLiteral(" interval-") + m_options.edtEverSec());
    }
    if (m_options.rbProport()) {
        m_host.logMessage(QStringLiteral("Proportional method"));
    }
    if (m_options.rbRandom()) {
        m_host.logMessage(QStringLiteral("Random method"));
    }
    if (m_options.rbFrameFile()) {
        m_host.logMessage(QStringLiteral("Start extract ") + m_options.FrameNumberEdit() +
                          QStringLiteral(" frames"));
    }
    if (m_options.rbMatrix() && sheetSetUp) {
        sheetSetUp();
    }
    if (m_options.rbEverSec()) {
        const int start = StrToInt(m_options.edtSecStart());
        const int interval = StrToInt(m_options.edtEverSec());
        if (interval == 0) {
            throw Error(QStringLiteral("The interval in seconds must not be 0"));
        }
        m_count = roundToInt((durationAtOpen - start) / interval);
        m_host.logMessage(QStringLiteral("Extract ") + QString::number(m_count) +
                          QStringLiteral(" frames"));
    }
}

double FrameSchedule::startAtPosition(int index) const {
    // In 64 bits: a large interval times a large index must not wrap.
    const std::int64_t interval = StrToInt(m_options.edtEverSec());
    const std::int64_t start = StrToInt(m_options.edtSecStart());
    return static_cast<double>(interval * index + start);
}

// Where captures first .. last will seek, computed as the loop computes them, for the methods
// whose positions are known before the loop reaches them. None for random positions: each
// draw is made when its capture comes.
CapturePlan FrameSchedule::plannedPositions(int first, int last) const {
    CapturePlan plan;
    const bool startAt = m_options.rbEverSec();
    if (!startAt && (m_options.rbRandom() || !m_options.rbProport())) {
        return plan;
    }
    std::vector<double> captures;
    for (int i = first; i <= last; ++i) {
        const double position = startAt ? startAtPosition(i) : i * m_step;
        captures.push_back(position);
        plan.captureStarts.push_back(plan.seconds.size());
        if (m_captureRequests) {
            const CaptureRequests requests = m_captureRequests(position);
            for (std::size_t r = 0; r < requests.seconds.size(); ++r) {
                plan.seconds.push_back(requests.seconds[r]);
                plan.optional.push_back(r >= requests.own);
            }
        } else {
            plan.seconds.push_back(position);
            plan.optional.push_back(false);
        }
    }
    if (m_aheadTest) {
        plan.wanted = m_aheadTest(captures);
    }
    return plan;
}

double FrameSchedule::spacing() const {
    if (m_options.rbEverSec()) {
        return std::abs(static_cast<double>(StrToInt(m_options.edtEverSec())));
    }
    return m_options.rbProport() || m_options.rbRandom() ? m_step : 0;
}

bool FrameSchedule::run(VideoSource& source, double& currentPosition,
                        const std::function<void(int index)>& capture) {
    CapturePlan plan;
    int planStart = 1;
    for (int i = 1; i <= m_count; ++i) {
        m_host.processMessages();
        if (AbortFlag.load()) {
            return false;
        }
        m_host.setFileProgressPos(i);
        if (i == 1 || i - planStart >= kPlanLength) {
            planStart = i;
            plan = plannedPositions(i, std::min(m_count, i + kPlanLength - 1));
            source.planCaptureSearches(plan);
        }
        // The seek that counts names the capture's place in the plan: the source hands out
        // what it prepared by that place, not by comparing positions. Captures that ask for
        // several pictures make those seeks themselves (planIndex()).
        const std::size_t inPlan = std::size_t(i - planStart);
        m_planIndex = inPlan < plan.captureStarts.size() ? plan.captureStarts[inPlan] : kUnplanned;
        const bool planned = m_planIndex != kUnplanned && !m_captureRequests;
        if (m_options.rbProport()) {
            if (planned && !m_options.rbEverSec()) {
                source.seekPlanned(m_planIndex, plan.seconds[m_planIndex]);
            } else {
                source.seek(i * m_step);
            }
            currentPosition = source.position();
        }
        if (m_options.rbRandom()) {
            source.seek(randomDraw(roundToInt(m_durationAtOpen)));
            currentPosition = source.position();
        }
        if (m_options.rbEverSec()) {
            if (planned) {
                source.seekPlanned(m_planIndex, plan.seconds[m_planIndex]);
            } else {
                source.seek(startAtPosition(i));
            }
            currentPosition = source.position();
        }
        capture(i);
    }
    m_planIndex = kUnplanned;
    return true;
}

}  // namespace mx
