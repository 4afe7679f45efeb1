#include "run_records.h"

#include <cstdlib>
#include <fstream>

#include "option_lists.h"

bool hasAnswer(const RunRecord& run)
{
    return run.status == "solved" || run.status == "stopped";
}

std::string answerPath(const std::string& answerDir, const RunRecord& run)
{
    return answerDir + "/" + run.family + "-" + std::to_string(run.n) + "." + run.solver + ".x";
}

std::string problemStem(const std::string& problemDir, const std::string& family, uint32_t n)
{
    return problemDir + "/" + family + "-" + std::to_string(n);
}

void writeRun(FILE* file, const RunRecord& run)
{
    std::fprintf(file, "%s,%u,%s,%.9f,%s,%s\n", run.family.c_str(), run.n, run.solver.c_str(), run.seconds,
                 run.status.c_str(), run.note.c_str());
    std::fflush(file);
}

bool readRuns(const std::string& path, std::vector<RunRecord>& runs)
{
    std::ifstream file(path);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (number == 1 && line == runsHeader)
            continue;
        // The note is the rest of the line; the other fields hold no commas.
        std::vector<std::string> fields;
        size_t start = 0;
        for (int f = 0; f < 5; ++f) {
            const size_t comma = line.find(',', start);
            if (comma == std::string::npos)
                break;
            fields.push_back(line.substr(start, comma - start));
            start = comma + 1;
        }
        fields.push_back(line.substr(start));
        if (fields.size() != 6 || toCount(fields[1]) == 0) {
            std::fprintf(stderr, "%s:%d: not a run record: %s\n", path.c_str(), number, line.c_str());
            return false;
        }
        runs.push_back({fields[0], toCount(fields[1]), fields[2], std::atof(fields[3].c_str()), fields[4], fields[5]});
    }
    return true;
}
