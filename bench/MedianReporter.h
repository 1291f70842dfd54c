// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A console reporter that also keeps each benchmark's median CPU time, so that a program
// can print its summary line (ratios, targets) after the table.
#include <benchmark/benchmark.h>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace kvorn::bench {

class MedianReporter : public benchmark::ConsoleReporter
{
public:
    explicit MedianReporter(std::function<void(const MedianReporter &)> summary)
        : m_summary(std::move(summary))
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.aggregate_name == "median")
                m_median[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        m_summary(*this);
    }
    /// The median CPU time of a benchmark in its unit; 0 when it did not run.
    double median(const std::string &name) const
    {
        const auto it = m_median.find(name);
        return it == m_median.end() ? 0 : it->second;
    }

private:
    std::function<void(const MedianReporter &)> m_summary;
    std::map<std::string, double> m_median;
};

} // namespace kvorn::bench
