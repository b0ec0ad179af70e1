// A cursor over a loaded recording, for a window's timer or the command-line replay: a position on the
// recording's clock (ms from the session's start), advancing hands each pair passed over in log order,
// seeking gives the state at a time (the last value of each parameter, the last fault read). Playing
// on a clock maps the program's tick count (Clock()) to the recording's clock at a speed, so a caller
// only asks where the play has got to. One thread per player; the recording must outlive it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "recording/recording.h"

namespace velmora {

// The session at a position: what a screen and the fault tab show there.
struct TRecordingState {
    std::vector<const TRecordedPair*> LastValues; // one per parameter, in the order of their times
    const TRecordedFaultRead* LastFaultRead = nullptr;
};

class TRecordingPlayer {
public:
    explicit TRecordingPlayer(const TRecording& recording) : Recording(recording) {}

    // ms from the session's start; every pair at or before it has been handed out (none at first).
    uint32_t PositionMs() const { return Position; }
    uint32_t DurationMs() const { return Recording.DurationMs(); }
    // Every pair has been handed out.
    bool AtEnd() const { return Next >= Recording.Pairs().size(); }
    // The index of the next pair to hand out.
    size_t NextPair() const { return Next; }

    // Hands each pair not yet handed whose time is at or before `ms` to `take`, in log order, and
    // moves the position to `ms` (never backwards: an earlier `ms` hands nothing). Returns the pairs
    // handed.
    size_t AdvanceTo(uint32_t ms, const std::function<void(const TRecordedPair&)>& take);
    // Moves to `ms` (backwards or forwards) without handing pairs out, and returns the state there; the
    // next AdvanceTo hands the first pair later than `ms`. A playing player plays on from `ms` as of
    // Clock()'s tick count now.
    TRecordingState Seek(uint32_t ms);

    // --- playing on the clock ---
    // Plays from the current position at `speed` (1 = real time; above 0) as the tick count `nowTick`
    // goes on; Play again changes the speed from where the play is.
    void Play(double speed, uint32_t nowTick);
    // Stops the clock where it is (the position is what Update handed out up to then).
    void Pause(uint32_t nowTick);
    bool Playing() const { return Running; }
    double Speed() const { return PlaySpeed; }
    // The position the play has reached at `nowTick` (not beyond the duration).
    uint32_t ClockPositionMs(uint32_t nowTick) const;
    // AdvanceTo(ClockPositionMs(nowTick)); the play stops by itself at the end.
    size_t Update(uint32_t nowTick, const std::function<void(const TRecordedPair&)>& take);

private:
    const TRecording& Recording;
    uint32_t Position = 0;
    size_t Next = 0;
    bool Running = false;
    double PlaySpeed = 1.0;
    uint32_t StartTick = 0;
    uint32_t StartPosition = 0;
};

} // namespace velmora
