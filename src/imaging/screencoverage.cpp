#include "imaging/screencoverage.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

namespace imaging {

ScreenCoverage::ScreenCoverage(int stepsA, int stepsB, int inkLevels, int samples, float soft,
                               const std::function<void(float a, float b, float *s)> &footprint)
    : m_a(std::max(1, stepsA)), m_b(std::max(1, stepsB)), m_inks(std::max(2, inkLevels)),
      m_table(static_cast<std::size_t>(m_a + 1) * (m_b + 1) * m_inks)
{
    samples = std::max(1, samples);
    const float inv = 1.f / (2 * soft), levels = static_cast<float>(m_inks - 1), perSample = 1.f / static_cast<float>(samples);
    // The table is made while a render waits for it: its rows of positions are filled in parallel,
    // isolated so that while this thread waits it never picks up another tile of the outer render
    // (which would wait for this very table).
    tbb::this_task_arena::isolate([&] { tbb::parallel_for(tbb::blocked_range<int>(0, m_b + 1), [&](const tbb::blocked_range<int> &rows) {
        std::vector<float> s(samples);
        // paper[k]: the share of the samples left uninked at ink level k. A sample with value v is
        // paper for every level below v - soft, ink for every level above v + soft, and partly
        // paper for the few levels in between; the levels below are counted by a running sum of
        // `starts`.
        std::vector<float> paper(m_inks), starts(m_inks + 1);
        for (int ib = rows.begin(); ib < rows.end(); ++ib) {
            float *out = m_table.data() + static_cast<std::size_t>(ib) * (m_a + 1) * m_inks;
            for (int ia = 0; ia <= m_a; ++ia) {
                footprint(static_cast<float>(ia) / m_a, static_cast<float>(ib) / m_b, s.data());
                std::fill(paper.begin(), paper.end(), 0.f);
                std::fill(starts.begin(), starts.end(), 0.f);
                for (float v : s) {
                    // Levels k with k / levels below v - soft are wholly paper, those above v + soft wholly ink.
                    const float lo = std::max(0.f, (v - soft) * levels), hi = std::max(0.f, (v + soft) * levels);
                    const int whole = std::min(static_cast<int>(lo) + (static_cast<float>(static_cast<int>(lo)) < lo ? 1 : 0), m_inks);
                    const int none = std::clamp(static_cast<int>(hi) + 1, whole, m_inks);
                    starts[0] += 1;
                    starts[whole] -= 1;
                    for (int k = whole; k < none; ++k) {
                        const float t = std::clamp((v - static_cast<float>(k) / levels + soft) * inv, 0.f, 1.f);
                        paper[k] += t * t * (3 - 2 * t);
                    }
                }
                float run = 0;
                for (int k = 0; k < m_inks; ++k) {
                    run += starts[k];
                    *out++ = 1 - (paper[k] + run) * perSample;
                }
            }
        }
    }); });
}

} // namespace imaging
