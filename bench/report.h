// What every benchmark shares: timing, percentiles, peak memory, the bare durable write that
// keystrokes are judged against, and the one line format of a figure,
// "| bench | figure | value | goal | verdict |", which scripts/bench gathers into one table. A
// figure without a goal of its own (a baseline, a time nobody set a goal for) says so.
//
// A figure and its baseline are measured in turns, sample by sample, in the same run: this
// machine's flushes take 0.1 ms or 4 ms depending on what else it writes, and only samples
// taken side by side see the same disk.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The value below which a share `p` (0..1) of the samples lie; the largest for 1.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// One 4 KB block of a file in `folder` overwritten in place and made durable with fdatasync:
// the cheapest durable write on that disk.
class BareFlush {
public:
    explicit BareFlush(const std::string& folder) : path_(folder + "/bare-flush.bin") {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    }
    ~BareFlush() {
        if (fd_ >= 0) ::close(fd_);
        ::unlink(path_.c_str());
    }
    BareFlush(const BareFlush&) = delete;
    BareFlush& operator=(const BareFlush&) = delete;

    // The milliseconds of one write, or a negative number when it failed.
    double once() {
        const auto t0 = Clock::now();
        if (fd_ < 0 || ::pwrite(fd_, block_.data(), block_.size(), 0) != 4096 || ::fdatasync(fd_) != 0)
            return -1;
        return msSince(t0);
    }

private:
    std::string path_;
    std::string block_ = std::string(4096, 'b');
    int fd_ = -1;
};

// Peak resident memory of this process, or of its waited-for children, in MB.
inline double peakRssMb(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// `text` padded with blanks to `columns` columns of a terminal (a Chinese character takes two).
inline std::string padded(const std::string& text, int columns) {
    int used = 0;
    for (unsigned char c : text) {
        if (c < 0x80) {
            ++used;
        } else if (c >= 0xC0) {
            used += 2;
        }
    }
    return used >= columns ? text : text + std::string(static_cast<std::size_t>(columns - used), ' ');
}

// A figure judged against a goal: met when value <= goal.
inline bool figure(const char* bench, const std::string& what, double value, const char* unit, double goal) {
    const bool met = value <= goal;
    char goalText[64];
    std::snprintf(goalText, sizeof goalText, "<= %.4g %s", goal, unit);
    std::printf("| %-9s | %s | %10.2f %-5s | %-16s | %-7s |\n", bench, padded(what, 58).c_str(), value, unit,
                goalText, met ? "met" : "MISSED");
    return met;
}

// A figure printed beside the goals it is a baseline or a context for.
inline void note(const char* bench, const std::string& what, double value, const char* unit,
                 const char* role) {
    std::printf("| %-9s | %s | %10.2f %-5s | %-16s | %-7s |\n", bench, padded(what, 58).c_str(), value, unit,
                role, "");
}

inline void fail(const char* bench, const std::string& what) {
    std::printf("| %-9s | %s | %16s | %-16s | %-7s |\n", bench, padded(what, 58).c_str(), "FAILED", "",
                "FAILED");
}

}  // namespace bench
