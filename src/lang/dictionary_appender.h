// Writes the unknown texts the dictionary collects to the end of its file, on a writer thread of its
// own: a dictionary file that is slow, blocked or failing never holds up the thread that asked for a
// translation (the worker's link among them). Any thread may queue and flush; the queue is bounded.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Appends `bytes` to the existing `file`; false when not all of them were written.
using TAppendToFile = std::function<bool(const std::string& file, std::string_view bytes)>;

// Texts waiting at most: later ones are not written in this run (the table keeps them).
constexpr size_t MaxQueuedAppends = 1000;

// Queues `bytes` for the end of `file`; returns at once. False when the queue is full or a write has
// failed in this run (nothing more is written then: the file may end inside a line).
bool QueueDictionaryAppend(std::string file, std::string bytes);

// Waits until the queue is written, at most `timeoutMs` of real time (a file that blocks for good must not
// keep the program from ending); true when it is. The program calls it before it ends.
bool FlushDictionaryAppends(unsigned timeoutMs = 2000);

// The text of a failed write ("could not add to the dictionary <file>") once per run: the first call
// after the failure gets it, later calls get nothing. Russian; the caller translates and logs it.
std::optional<std::string> TakeDictionaryAppendFailure();

// Waits for the queue (as FlushDictionaryAppends) and forgets a failed write, said or not: the
// dictionary is loaded anew (ResetDictionary) and its file may take texts again.
void ResetDictionaryAppends();

// Replaces the file layer (tests); an empty function restores the real one. Call it while the queue is
// empty (after ResetDictionaryAppends).
void SetDictionaryFileLayer(TAppendToFile layer);

} // namespace velmora
