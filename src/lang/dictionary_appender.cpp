#include "lang/dictionary_appender.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>

namespace velmora {

namespace {

bool AppendToFile(const std::string& file, std::string_view bytes) {
    // The file must be there already: an unknown text never creates a dictionary.
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        bytes.remove_prefix(size_t(written));
    }
    close(fd);
    return bytes.empty();
}

struct TAppend {
    std::string File;
    std::string Bytes;
};

// The queue and its writer. Made once and never destroyed: the writer thread is detached and may still
// wait for a blocked file when the program ends, so nothing it uses may go away before that.
class TAppender {
public:
    bool Queue(std::string file, std::string bytes) {
        std::lock_guard lock(Mutex);
        if (Failed || Pending.size() >= MaxQueuedAppends)
            return false;
        Pending.push_back({std::move(file), std::move(bytes)});
        if (!Started) {
            Started = true;
            std::thread([this] { Run(); }).detach();
        }
        Wake.notify_all();
        return true;
    }

    bool Flush(unsigned timeoutMs) {
        std::unique_lock lock(Mutex);
        return Idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return Pending.empty() && !Writing; });
    }

    std::optional<std::string> TakeFailure() {
        // Asked on every translation: the lock only once there is something to say.
        if (!FailureUnsaid.load())
            return std::nullopt;
        std::lock_guard lock(Mutex);
        if (!FailureUnsaid.exchange(false))
            return std::nullopt;
        return "Не удалось дописать файл словаря, новые тексты в него не попадут: " + FailedFile;
    }

    void ForgetFailure() {
        std::lock_guard lock(Mutex);
        Failed = false;
        FailureUnsaid = false;
        FailedFile.clear();
    }

    void SetLayer(TAppendToFile layer) {
        std::lock_guard lock(Mutex);
        Layer = layer ? std::move(layer) : TAppendToFile(AppendToFile);
    }

private:
    void Run() {
        std::unique_lock lock(Mutex);
        for (;;) {
            Wake.wait(lock, [this] { return !Pending.empty(); });
            TAppend append = std::move(Pending.front());
            Pending.pop_front();
            Writing = true;
            const TAppendToFile layer = Layer;
            // The write runs without the lock: a file that blocks holds up only this thread.
            lock.unlock();
            const bool written = layer(append.File, append.Bytes);
            lock.lock();
            Writing = false;
            if (!written && !Failed) {
                Failed = true;
                FailureUnsaid = true;
                FailedFile = append.File;
                Pending.clear();
            }
            if (Pending.empty())
                Idle.notify_all();
        }
    }

    std::mutex Mutex;
    std::condition_variable Wake, Idle;
    std::deque<TAppend> Pending;
    TAppendToFile Layer = AppendToFile;
    bool Started = false;
    bool Writing = false;
    bool Failed = false;
    std::atomic<bool> FailureUnsaid{false};
    std::string FailedFile;
};

TAppender& Appender() {
    static TAppender* appender = new TAppender; // never destroyed: see TAppender
    return *appender;
}

} // namespace

bool QueueDictionaryAppend(std::string file, std::string bytes) {
    return Appender().Queue(std::move(file), std::move(bytes));
}

bool FlushDictionaryAppends(unsigned timeoutMs) {
    return Appender().Flush(timeoutMs);
}

std::optional<std::string> TakeDictionaryAppendFailure() {
    return Appender().TakeFailure();
}

void ResetDictionaryAppends() {
    Appender().Flush(2000);
    Appender().ForgetFailure();
}

void SetDictionaryFileLayer(TAppendToFile layer) {
    Appender().SetLayer(std::move(layer));
}

} // namespace velmora
