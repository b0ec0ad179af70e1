#include "links/line_lease.h"

#include <mutex>

#include "lang/dictionary.h"
#include "lang/translated_format.h"

namespace velmora {

namespace {

std::mutex leaseLock; // guards the three fields below
uint64_t holderId = 0;
uint64_t lastId = 0;
std::string holderJob;

} // namespace

TLineLease& TLineLease::operator=(TLineLease&& other) noexcept {
    if (this != &other) {
        Release();
        Id = other.Id;
        other.Id = 0;
    }
    return *this;
}

TLineLease TLineLease::Take(const char* job) {
    TLineLease lease;
    std::lock_guard guard(leaseLock);
    if (holderId != 0)
        return lease;
    holderId = lease.Id = ++lastId;
    holderJob = job;
    return lease;
}

void TLineLease::Release() {
    if (Id == 0)
        return;
    std::lock_guard guard(leaseLock);
    // Only the lease that holds the line gives it back.
    if (holderId == Id) {
        holderId = 0;
        holderJob.clear();
    }
    Id = 0;
}

std::string LineHolder() {
    std::lock_guard guard(leaseLock);
    return holderJob;
}

std::string LineBusyText(const char* job) {
    return TranslateFormat("Линия занята: %s. Дождитесь окончания или нажмите Stop.", Translate(job).c_str());
}

std::string LineBusyText() {
    const std::string job = LineHolder();
    // Given back between the refusal and this look: the line was busy all the same.
    return LineBusyText(job.empty() ? "другая функция" : job.c_str());
}

} // namespace velmora
