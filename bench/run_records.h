// What each solver run left behind, one line of CSV per run, written by the
// C++ runner and by the peers' Python runner alike:
//     family,n,solver,seconds,status,note
// status "solved" (answer written, solver satisfied), "stopped" (answer
// written, solver not satisfied: a cap or a numerical stop), "skipped" (no
// answer; note says why) or "failed" (no answer: the solver raised an
// error, named in the note). The answer of a run is
// ANSWERS/FAMILY-N.SOLVER.x, n raw doubles.
#ifndef SIMPLEXQP_BENCH_RUN_RECORDS_H
#define SIMPLEXQP_BENCH_RUN_RECORDS_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RunRecord {
    std::string family;
    uint32_t n;
    std::string solver;
    double seconds;  // CPU seconds of the solve alone; negative when skipped
    std::string status, note;
};

constexpr const char* runsHeader = "family,n,solver,seconds,status,note";

bool hasAnswer(const RunRecord& run);
std::string answerPath(const std::string& answerDir, const RunRecord& run);
std::string problemStem(const std::string& problemDir, const std::string& family, uint32_t n);

void writeRun(FILE* file, const RunRecord& run);

// Appends the runs of a file written by either runner; false (with the
// line named on stderr) when the file cannot be read or a line is malformed.
bool readRuns(const std::string& path, std::vector<RunRecord>& runs);

#endif
