// A program run as a child process, for the time and memory of a whole
// process: start-up, loading and decoding as a user meets them.
#pragma once

#include <string>
#include <vector>

namespace zorvik {

struct ChildRun {
    bool ran = false;      // the program was found and run to its end
    bool timedOut = false; // killed after the time allowed
    int status = -1;       // its exit status
    double ms = 0;         // wall time from its start to its end
    long peakKb = 0;       // its peak resident memory (ru_maxrss)
    std::string out;       // its standard output
};

// Runs args[0] (looked up on PATH when it has no slash) with args, standard
// input and error on /dev/null; killed after timeoutSeconds. It is started
// by a launcher, this program run again through RunLauncher: a child forked
// straight from a large process would have that process's pages counted in
// its peak memory.
ChildRun RunChild(const std::vector<std::string>& args, double timeoutSeconds = 300);

// main() hands its arguments here first: when they ask for the launcher,
// it runs the program they name, reports its time and peak memory to
// RunChild and returns the exit status for main to return; otherwise -1.
int RunLauncher(int argc, char** argv);

// True when a program of that name can be run.
bool ProgramExists(const std::string& name);

} // namespace zorvik
