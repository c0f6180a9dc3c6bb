#include "RateController.h"

#include <algorithm>
#include <cmath>

namespace velto_media {
namespace {

constexpr int kHighLoss = 26;  // of 256: 10%
constexpr int kLowLoss = 5;    // of 256: 2%
constexpr double kIncreasePerSecond = 1.08;
// Receivers report about once a second; one silent for longer than two of
// its reports has left (or its reports are lost) and no longer counts.
constexpr int64_t kReportLifeMs = 2500;
// One fall per report interval: a fall shows in the next report only. Less
// than the interval itself, which the timing of the reports shortens now and then.
constexpr int64_t kDecreaseIntervalMs = 800;
// A long gap between reports (none came) earns no more than a second's climb.
constexpr int64_t kLongestStepMs = 1000;

}  // namespace

RateController::RateController(int maxKbps, int fps, bool screen)
    : screen_(screen), maxKbps_(std::max(1, maxKbps)), fps_(std::max(1, fps)), kbps_(maxKbps_)
{
}

void RateController::setMaximum(int kbps)
{
    kbps = std::max(1, kbps);
    kbps_ = kbps_ >= maxKbps_ ? kbps : std::min<double>(kbps_, kbps);
    maxKbps_ = kbps;
}

void RateController::setFrameRate(int fps)
{
    fps_ = std::max(1, fps);
}

int RateController::worstLoss(int64_t nowMs)
{
    int worst = 0;
    for (auto it = reports_.begin(); it != reports_.end();) {
        if (nowMs - it->second.second > kReportLifeMs) {
            it = reports_.erase(it);
            continue;
        }
        worst = std::max<int>(worst, it->second.first);
        ++it;
    }
    return worst;
}

void RateController::onReport(uint32_t reporter, uint8_t fractionLost, int64_t nowMs)
{
    reports_[reporter] = {fractionLost, nowMs};
    const int loss = worstLoss(nowMs);
    const int64_t sinceLast = lastReportMs_ < 0 ? 0 : std::clamp<int64_t>(nowMs - lastReportMs_, 0, kLongestStepMs);
    lastReportMs_ = nowMs;
    const double floor = std::min(kFloorKbps, maxKbps_);
    if (loss > kHighLoss) {
        if (lastDecreaseMs_ >= 0 && nowMs - lastDecreaseMs_ < kDecreaseIntervalMs)
            return;
        lastDecreaseMs_ = nowMs;
        kbps_ = std::max(floor, kbps_ * (1.0 - 0.5 * loss / 256.0));
    } else if (loss < kLowLoss) {
        kbps_ = std::min<double>(maxKbps_, kbps_ * std::pow(kIncreasePerSecond, sinceLast / 1000.0));
    }
}

RateController::Target RateController::target() const
{
    Target target;
    target.kbps = static_cast<int>(std::lround(kbps_));
    target.fps = fps_;
    if (screen_ && fps_ > kScreenFloorFps) {
        // Each picture keeps the bits it had at the full rate.
        const double fps = std::round(fps_ * kbps_ / maxKbps_);
        target.fps = static_cast<int>(std::clamp<double>(fps, kScreenFloorFps, fps_));
    }
    return target;
}

bool PictureThinner::next(int sending, int source)
{
    if (sending >= source || source <= 0) {
        credit_ = 1;
        return true;
    }
    credit_ += double(std::max(0, sending)) / source;
    if (credit_ < 1)
        return false;
    credit_ -= 1;
    return true;
}

}  // namespace velto_media
