// Problems and answers cross between the benchmark's programs as files of
// raw doubles in the machine's (little-endian) order, n*n for Q in column
// order, n for b and for an answer.
#ifndef SIMPLEXQP_BENCH_RAW_DOUBLES_H
#define SIMPLEXQP_BENCH_RAW_DOUBLES_H

#include <string>
#include <vector>

// Both say on stderr what went wrong and return false when the file cannot
// be written, or does not hold exactly `count` doubles.
bool writeDoubles(const std::string& path, const std::vector<double>& values);
bool readDoubles(const std::string& path, size_t count, std::vector<double>& values);

#endif
