// The writer's order (newest text of a file, files in order, failed files held back) and the writer
// thread with a disk that blocks or fails on demand.
#include "persistence/file_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tide {
namespace {

using namespace std::chrono_literals;

// p: hand over path/text; e: hand over an export (tried once); t: take one (recorded as "path=text",
// "-" when none); f: the last taken failed.
struct Step {
    char op;
    const wchar_t* path = L"";
    const char* text = "";
};

struct QueueCase {
    const char* name;
    std::vector<Step> steps;
    std::string taken;
};

void PrintTo(const QueueCase& c, std::ostream* out) {
    *out << c.name;
}

class QueueTable : public testing::TestWithParam<QueueCase> {};

TEST_P(QueueTable, TakesFilesInOrder) {
    SaveQueue queue;
    std::optional<SaveJob> last;
    std::string taken;
    for (const Step& step : GetParam().steps) {
        if (step.op == 'p' || step.op == 'e') {
            queue.put({step.path, step.text, {}, step.op == 'p'});
        } else if (step.op == 't') {
            last = queue.take();
            taken += last ? std::string(last->path.begin(), last->path.end()) + "=" + last->text + " " : "- ";
        } else {
            queue.failed(std::move(*last));
        }
    }
    EXPECT_EQ(taken, GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(
    Saves, QueueTable,
    testing::Values(
        QueueCase{"SameFileReplaced", {{'p', L"a", "1"}, {'p', L"a", "2"}, {'t'}, {'t'}}, "a=2 - "},
        QueueCase{"FilesKeepTheirOrder",
                  {{'p', L"a", "1"}, {'p', L"b", "1"}, {'p', L"a", "2"}, {'t'}, {'t'}},
                  "a=2 b=1 "},
        QueueCase{"FailedGivesWayToNewer",
                  {{'p', L"a", "1"}, {'t'}, {'p', L"a", "2"}, {'f'}, {'t'}, {'t'}},
                  "a=1 a=2 - "},
        QueueCase{"FailedHeldUntilNextSave",
                  {{'p', L"a", "1"}, {'t'}, {'f'}, {'t'}, {'p', L"b", "1"}, {'t'}, {'t'}},
                  "a=1 - a=1 b=1 "},
        QueueCase{"FailedAheadOfLaterFiles",
                  {{'p', L"a", "1"}, {'p', L"b", "1"}, {'t'}, {'f'}, {'p', L"c", "1"}, {'t'}, {'t'}, {'t'}},
                  "a=1 a=1 b=1 c=1 "},
        QueueCase{
            "FailedExportDropped",
            {{'e', L"x", "1"}, {'t'}, {'f'}, {'p', L"b", "1"}, {'t'}, {'t'}, {'p', L"c", "1"}, {'t'}, {'t'}},
            "x=1 b=1 - c=1 - "},
        QueueCase{"TwoFailuresAroundANewerText",
                  {{'p', L"a", "1"},
                   {'t'},
                   {'f'},
                   {'p', L"b", "1"},
                   {'t'},
                   {'p', L"a", "2"},
                   {'f'},
                   {'t'},
                   {'t'},
                   {'f'},
                   {'t'},
                   {'p', L"c", "1"},
                   {'t'},
                   {'t'}},
                  "a=1 a=1 b=1 a=2 - a=2 c=1 "}),
    [](const testing::TestParamInfo<QueueCase>& info) { return std::string(info.param.name); });

// A disk that holds every write until opened and fails the files it is told to.
class FakeDisk {
public:
    bool write(const std::wstring& path, std::string_view bytes, std::string* error) {
        std::unique_lock hold(lock_);
        ++started_;
        changed_.notify_all();
        changed_.wait(hold, [this] { return open_; });
        if (failing_) {
            *error = "replace failed";
            return false;
        }
        files_[path] = std::string(bytes);
        return true;
    }
    void set(bool open, bool failing) {
        const std::lock_guard hold(lock_);
        open_ = open;
        failing_ = failing;
        changed_.notify_all();
    }
    bool wait_started(int count) {
        std::unique_lock hold(lock_);
        return changed_.wait_for(hold, 30s, [&] { return started_ >= count; });
    }
    std::string file(const std::wstring& path) {
        const std::lock_guard hold(lock_);
        return files_[path];
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
    bool failing_ = false;
    int started_ = 0;
    std::map<std::wstring, std::string> files_;
};

TEST(FileWriter, SavesWithoutWaitingAndExitWritesTheNewest) {
    FakeDisk disk;
    std::atomic<int> notified{0};
    FileWriter writer(
        [&](const std::wstring& p, std::string_view b, std::string* e) { return disk.write(p, b, e); },
        [&] { ++notified; });
    std::vector<std::string> reports;
    const auto report = [&](bool written, const std::string& error) {
        reports.push_back(written ? "ok" : error);
    };

    // The disk fails the first write: the error comes back, the text is kept.
    disk.set(true, true);
    writer.save({L"settings.json", "1", report});
    for (auto until = std::chrono::steady_clock::now() + 30s;
         notified < 1 && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(1ms);
    }
    writer.deliver_outcomes();
    EXPECT_EQ(reports, std::vector<std::string>{"replace failed"});

    // The next save tries it again first. A stuck disk does not hold up the hand-over, and of three
    // texts of one file only the newest is written.
    disk.set(false, false);
    writer.save({L"usage.json", "u", report});
    ASSERT_TRUE(disk.wait_started(2));
    writer.save({L"usage.json", "u2", report});
    writer.save({L"usage.json", "u3", report});
    EXPECT_FALSE(writer.flush(0ms));
    disk.set(true, false);
    EXPECT_TRUE(writer.finish(30s));
    EXPECT_EQ(disk.file(L"settings.json"), "1");
    EXPECT_EQ(disk.file(L"usage.json"), "u3");
    EXPECT_EQ(notified.load(), 3);
}

} // namespace
} // namespace tide
