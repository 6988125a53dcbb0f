// The writer thread and the order it takes files in.
#include "persistence/file_writer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tide {

void SaveQueue::put(SaveJob job) {
    release_held();
    const auto same = std::find_if(entries_.begin(), entries_.end(),
                                   [&](const Entry& entry) { return entry.job.path == job.path; });
    if (same != entries_.end()) {
        same->job = std::move(job);
    } else {
        entries_.push_back({std::move(job), false});
    }
}

std::optional<SaveJob> SaveQueue::take() {
    const auto ready =
        std::find_if(entries_.begin(), entries_.end(), [](const Entry& entry) { return !entry.held; });
    if (ready == entries_.end()) {
        return std::nullopt;
    }
    SaveJob job = std::move(ready->job);
    entries_.erase(ready);
    return job;
}

void SaveQueue::failed(SaveJob job) {
    if (!job.retry) {
        return;
    }
    if (std::any_of(entries_.begin(), entries_.end(),
                    [&](const Entry& entry) { return entry.job.path == job.path; })) {
        return; // a newer text of the file is waiting: the failed one is old news
    }
    // Behind the files that failed before it, ahead of everything handed over after it was taken.
    const auto after_held =
        std::find_if(entries_.begin(), entries_.end(), [](const Entry& entry) { return !entry.held; });
    entries_.insert(after_held, {std::move(job), true});
}

void SaveQueue::release_held() {
    for (Entry& entry : entries_) {
        entry.held = false;
    }
}

bool SaveQueue::ready() const {
    return std::any_of(entries_.begin(), entries_.end(), [](const Entry& entry) { return !entry.held; });
}

namespace {

struct Outcome {
    bool written = false;
    std::string error;
    SaveDone on_done;
};

} // namespace

// Shared with the thread, so that a write stuck past the exit limit still has its state when it ends.
struct FileWriter::State {
    WriteFile write;
    std::function<void()> notify;

    // Held by the UI thread and the writer only to move jobs and outcomes in and out, never across
    // a write.
    std::mutex lock;
    std::condition_variable changed;
    SaveQueue queue;
    bool writing = false;
    bool stopping = false;
    std::vector<Outcome> outcomes;

    void run();
};

void FileWriter::State::run() {
    std::unique_lock hold(lock);
    for (;;) {
        changed.wait(hold, [this] { return stopping || queue.ready(); });
        if (stopping) {
            return;
        }
        std::optional<SaveJob> job = queue.take();
        writing = true;
        hold.unlock();
        std::string error;
        bool written = false;
        try {
            written = write(job->path, job->text, &error);
        } catch (...) {
            error = "write failed";
        }
        hold.lock();
        writing = false;
        outcomes.push_back({written, std::move(error), job->on_done});
        if (!written) {
            queue.failed(std::move(*job));
        }
        changed.notify_all();
        if (notify) {
            hold.unlock();
            notify();
            hold.lock();
        }
    }
}

FileWriter::FileWriter(WriteFile write, std::function<void()> notify) : state_(std::make_shared<State>()) {
    state_->write = std::move(write);
    state_->notify = std::move(notify);
}

FileWriter::~FileWriter() {
    finish(k_exit_save_limit);
}

void FileWriter::save(SaveJob job) {
    {
        const std::lock_guard hold(state_->lock);
        if (state_->stopping) {
            return;
        }
        state_->queue.put(std::move(job));
    }
    if (!thread_.joinable()) {
        thread_ = std::thread([state = state_] { state->run(); });
    }
    state_->changed.notify_all();
}

void FileWriter::deliver_outcomes() {
    std::vector<Outcome> finished;
    {
        const std::lock_guard hold(state_->lock);
        finished.swap(state_->outcomes);
    }
    for (Outcome& outcome : finished) {
        if (outcome.on_done) {
            outcome.on_done(outcome.written, outcome.error);
        }
    }
}

bool FileWriter::flush(std::chrono::milliseconds limit) {
    std::unique_lock hold(state_->lock);
    state_->queue.release_held();
    state_->changed.notify_all();
    // Each waiting file is tried once: one that fails again is held back and no longer ready.
    state_->changed.wait_for(hold, limit, [this] { return !state_->writing && !state_->queue.ready(); });
    return !state_->writing && state_->queue.empty();
}

bool FileWriter::finish(std::chrono::milliseconds limit) {
    const bool done = !thread_.joinable() || flush(limit);
    bool stuck = false;
    {
        const std::lock_guard hold(state_->lock);
        state_->stopping = true;
        stuck = state_->writing;
    }
    state_->changed.notify_all();
    if (thread_.joinable()) {
        if (stuck) {
            thread_.detach(); // the process may end under it; its state lives as long as it does
        } else {
            thread_.join();
        }
    }
    return done;
}

} // namespace tide
