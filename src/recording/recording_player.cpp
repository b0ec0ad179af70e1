#include "recording/recording_player.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"

namespace velmora {

size_t TRecordingPlayer::AdvanceTo(uint32_t ms, const std::function<void(const TRecordedPair&)>& take) {
    const std::vector<TRecordedPair>& pairs = Recording.Pairs();
    size_t handed = 0;
    while (Next < pairs.size() && pairs[Next].TimeMs <= ms) {
        if (take)
            take(pairs[Next]);
        ++Next;
        ++handed;
    }
    Position = std::max(Position, ms);
    return handed;
}

TRecordingState TRecordingPlayer::Seek(uint32_t ms) {
    Position = ms;
    Next = Recording.FirstPairAfter(ms);
    if (Running) {
        StartPosition = ms;
        StartTick = Clock().TickCount();
    }
    return {Recording.LastValuesAt(ms), Recording.LastFaultReadAt(ms)};
}

void TRecordingPlayer::Play(double speed, uint32_t nowTick) {
    if (Running)
        Position = std::max(Position, ClockPositionMs(nowTick));
    PlaySpeed = speed > 0 ? speed : 1.0;
    StartTick = nowTick;
    StartPosition = Position;
    Running = true;
}

void TRecordingPlayer::Pause(uint32_t nowTick) {
    if (!Running)
        return;
    Position = std::max(Position, ClockPositionMs(nowTick));
    Running = false;
}

uint32_t TRecordingPlayer::ClockPositionMs(uint32_t nowTick) const {
    if (!Running)
        return Position;
    const double played = double(TicksSince(StartTick, nowTick)) * PlaySpeed;
    const double position = double(StartPosition) + std::floor(played);
    return uint32_t(std::min(position, double(std::max(DurationMs(), StartPosition))));
}

size_t TRecordingPlayer::Update(uint32_t nowTick, const std::function<void(const TRecordedPair&)>& take) {
    if (!Running)
        return 0;
    const size_t handed = AdvanceTo(ClockPositionMs(nowTick), take);
    if (AtEnd())
        Running = false;
    return handed;
}

} // namespace velmora
