#pragma once

// What every figure of the bench needs: time, statistics, child processes and
// the printing of a value.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quiltaro::bench {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start);
void sleepMs(double ms);
// CPU time of this process, all threads, in seconds.
double cpuSeconds();
double median(std::vector<double> v);
double percentile(std::vector<double> v, double q);
// Polls done() every periodMs until it holds; false after timeoutMs.
bool waitFor(double timeoutMs, const std::function<bool()>& done, double periodMs = 1);

// Starts a program with this process's environment; its output goes to outFd,
// or nowhere.
pid_t spawn(const std::vector<std::string>& args, int outFd = -1);
// Runs a program to its end; true when it exited with 0.
bool run(const std::vector<std::string>& args);
// Runs a program and returns what it printed.
std::string capture(const std::vector<std::string>& args);
// The peak resident size the kernel has seen so far for a live process.
long peakRssKb(pid_t pid);
void stop(pid_t pid, int signal);

std::string fixed(double v, int decimals);

} // namespace quiltaro::bench
