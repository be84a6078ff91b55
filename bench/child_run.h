#pragma once
// Runs one measured phase in a child process, so that each phase's peak resident memory is its
// own (getrusage of the child) and a crash cannot take the benchmark down.
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Measurement {
  bool ok = false;
  double seconds = 0;    // wall time from fork to exit
  double cpuSeconds = 0; // user and system time of the child
  long peakRssKiB = 0;   // ru_maxrss of the child
};

Measurement RunInChild(const std::function<bool()>& work);
// Runs argv[0] (searched in PATH) with standard output and error discarded.
Measurement RunProgram(const std::vector<std::string>& argv);

}  // namespace bench
