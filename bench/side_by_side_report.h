// The side-by-side benchmark's results: every run's answer measured by one
// evaluator, and the tables made from them.
#ifndef SIMPLEXQP_BENCH_SIDE_BY_SIDE_REPORT_H
#define SIMPLEXQP_BENCH_SIDE_BY_SIDE_REPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "answer_metrics.h"
#include "run_records.h"

struct EvaluatedRun {
    RunRecord run;
    bool answered;
    AnswerMetrics metrics;   // when answered
    long double aboveBest;   // f - f_best, f_best the least f of the problem's answers
};

// Runs ordered by family (as first met), n, then as recorded; each answer
// read and measured against its problem. False when a file is missing or
// malformed.
bool evaluateRuns(std::vector<RunRecord> runs, const std::string& problemDir, const std::string& answerDir,
                  std::vector<EvaluatedRun>& evaluated);

// Markdown: every run; the speed ratios against the peers; the fitted
// growth of time with n.
void printRunTable(FILE* out, const std::vector<EvaluatedRun>& evaluated);
void printRatios(FILE* out, const std::vector<EvaluatedRun>& evaluated);
void printGrowth(FILE* out, const std::vector<EvaluatedRun>& evaluated);

// family,n,solver,seconds,f,f_minus_best,kkt_gap,fw_gap,positive,significant,status
// for the plot; skipped runs are left out.
void writeEvaluatedCsv(FILE* out, const std::vector<EvaluatedRun>& evaluated);

#endif
