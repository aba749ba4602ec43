// The result of each file on standard output, in the order files finish: one line of text, or
// one JSON object per line for other tools, and the run's summary at the end.
#pragma once

#include "app/catalogue/file_outcomes.h"

#include <ostream>
#include <string>

struct TResultLine {
    TFileOutcome outcome = TFileOutcome::Converted;
    std::string source = {}, output = {}, message = {};
    std::string sourceKept = {}; // what of a source to be deleted was not, and why
    std::string inputFormat = {}, outputFormat = {};
    bool verified = false;
    bool sourceRemoved = false;
    double seconds = 0; // from the file's start to its end
};

class TResultPrinter {
public:
    enum class TStyle { Text, Quiet, Json };
    TResultPrinter(std::ostream& out, TStyle style) : out_(out), style_(style) {}

    // Prints a file's result (quiet: only failures and warnings) and counts it.
    void Print(TResultLine line);
    // "3 converted, 1 skipped, 0 failed", or the summary object.
    void PrintSummary(double seconds);

    int Converted() const { return converted_; }
    int Failed() const { return failed_; }

private:
    std::ostream& out_;
    TStyle style_;
    int converted_ = 0, warned_ = 0, skipped_ = 0, failed_ = 0;
    int verified_ = 0, removed_ = 0;
};

// A JSON string of bytes: UTF-8 as it is, control characters escaped, and a byte that is not
// UTF-8 (a file name in another encoding) as \udcXX, as Python's surrogateescape reads it.
std::string JsonString(std::string_view bytes);
