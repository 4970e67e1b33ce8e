#ifndef TESSIVANE_TESTS_WELCH_SAMPLES_H
#define TESSIVANE_TESTS_WELCH_SAMPLES_H

// The samples of the Welch table: pvalue_references writes the table from them and
// test_significance checks it, so both read them from here.

#include <vector>

inline const std::vector<std::vector<float>> kWelchSamples = {
    {4.1f, 5.3f, 6.2f, 4.8f, 5.9f},
    {7.7f, 3.2f, 9.9f, 12.5f, 1.4f, 8.8f, 6.1f},
    {0.5f, 0.75f, 0.25f, 1.0f},
    {10.0f, 30.0f, 20.0f, 60.0f, 5.0f, 45.0f, 15.0f, 25.0f, 35.0f},
    {2.0f, 2.0f, 2.0f},
    {1.0f, 2.0f, 4.0f, 8.0f},
};

#endif
