// Writing the program's files off the UI thread. A window embedded in the shell's taskbar shares its
// input with the shell, so a save that waits on a slow or sleeping disk would freeze the user's
// taskbar: the UI thread only hands over the finished text, and one writer thread writes it.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace tide {

// What the UI thread learns about a save: whether the file was written, and the writer's error text.
using SaveDone = std::function<void(bool written, const std::string& error)>;

// One file's complete new content, as it stood when the UI thread handed it over.
struct SaveJob {
    std::wstring path;
    std::string text;
    SaveDone on_done; // run on the thread that delivers the outcomes; may be empty
    // The program's own files are tried again until written. An export (a CSV, a report) is tried
    // once: the user was told it failed, and may since have saved something else at that path.
    bool retry = true;
};

// The order the writer takes files in. Files are written in the order they were first handed over; a
// newer text of a file still waiting replaces the older one in its place, so only the newest is
// written. A file whose write failed waits at the front, held back until the next hand-over (of any
// file) or the final flush, unless a newer text of it is waiting already or it is not to be retried.
class SaveQueue {
public:
    void put(SaveJob job);
    // The oldest job not held back; nothing when there is none.
    std::optional<SaveJob> take();
    void failed(SaveJob job);
    // Lets held-back jobs be taken again.
    void release_held();
    // A job can be taken.
    bool ready() const;
    // Nothing waiting and nothing held back.
    bool empty() const { return entries_.empty(); }

private:
    struct Entry {
        SaveJob job;
        bool held = false;
    };
    std::deque<Entry> entries_;
};

// Writes one file in place, atomically; true on success, with an error text for the user otherwise.
using WriteFile = std::function<bool(const std::wstring& path, std::string_view bytes, std::string* error)>;

// The writer thread. save() returns at once; `notify` is called on the writer thread after each file
// (the application posts a message with it), and the UI thread then runs the outcomes with
// deliver_outcomes(). The thread starts with the first save.
class FileWriter {
public:
    FileWriter(WriteFile write, std::function<void()> notify);
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;
    // Finishes with the exit limit.
    ~FileWriter();

    // Hands a file over; held-back files are tried again with it. Never waits for the disk. After
    // finish nothing more is taken.
    void save(SaveJob job);
    // Runs on_done of every finished write, oldest first, on the calling thread.
    void deliver_outcomes();
    // Tries every waiting file once more and waits up to `limit` until all are done; true when nothing
    // is left. The writer keeps running.
    bool flush(std::chrono::milliseconds limit);
    // flush, then the thread ends. A write still stuck at the limit is left to finish on its own.
    bool finish(std::chrono::milliseconds limit);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// How long exit waits for the last saves.
inline constexpr std::chrono::milliseconds k_exit_save_limit{5000};

} // namespace tide
