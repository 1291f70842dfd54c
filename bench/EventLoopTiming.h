// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the latency benchmarks share: running the event loop for a while, and percentiles.
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace kvorn::bench {

// Runs the event loop (sleeping while there is nothing to do, as the program does).
inline void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

/// The value at fraction `p` (0 to 1) of the sorted samples; 0 when there are none.
inline double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto at = std::size_t(std::min<double>(double(samples.size() - 1),
                                                 p * double(samples.size() - 1) + 0.5));
    return samples[at];
}

} // namespace kvorn::bench
