#ifndef TESSIVANE_TEST_SUPPORT_ARRAYS_H
#define TESSIVANE_TEST_SUPPORT_ARRAYS_H

// Guarded offset-indexed arrays for the tests, allocated through the library's
// own array layer. Every cell around the used range holds the sentinel, a NaN
// with a recognisable payload: a routine that writes outside its index range
// changes a guard cell, and one that reads a guard cell turns its result into
// a NaN.

#include "nrutil.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace tv_test {

inline std::uint32_t float_bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline float bits_float(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// Also written into out-parameters that a routine must leave alone.
inline float sentinel()
{
    return bits_float(0x7fc2385bu);
}

inline bool is_sentinel(float f)
{
    return float_bits(f) == 0x7fc2385bu;
}

// A float vector used over lo..lo+n-1 (1..n by default), from vector() with
// kGuard sentinel cells on each side, so it is never allocated with the low
// bound the routine sees.
class Vector {
public:
    static constexpr long kGuard = 3;

    explicit Vector(unsigned long n, long lo = 1)
        : n_(static_cast<long>(n))
        , lo_(lo)
        , v_(vector(lo - kGuard, lo + n_ - 1 + kGuard))
    {
        for (long i = lo_ - kGuard; i < lo_ + n_ + kGuard; i++)
            v_[i] = sentinel();
    }
    explicit Vector(const std::vector<float> &values, long lo = 1)
        : Vector(values.size(), lo)
    {
        for (long i = 0; i < n_; i++)
            v_[lo_ + i] = values[static_cast<std::size_t>(i)];
    }
    Vector(std::initializer_list<float> values)
        : Vector(std::vector<float>(values))
    {}
    ~Vector() { free_vector(v_, lo_ - kGuard, lo_ + n_ - 1 + kGuard); }
    Vector(const Vector &) = delete;
    Vector &operator=(const Vector &) = delete;

    float *data() { return v_; }
    float &operator[](long i) { return v_[i]; }
    unsigned long size() const { return static_cast<unsigned long>(n_); }

    bool guards_intact() const
    {
        for (long i = 1; i <= kGuard; i++)
            if (!is_sentinel(v_[lo_ - i]) || !is_sentinel(v_[lo_ + n_ - 1 + i]))
                return false;
        return true;
    }
    // The used range, in index order.
    std::vector<float> values() const { return std::vector<float>(v_ + lo_, v_ + lo_ + n_); }

private:
    long n_, lo_;
    float *v_;
};

// A float matrix used over rows lo..lo+rows-1 and columns lo..lo+cols-1, from
// matrix() one cell larger on every side; the ring holds the sentinel.
class Matrix {
public:
    Matrix(int rows, int cols, int lo = 1)
        : rows_(rows)
        , cols_(cols)
        , lo_(lo)
        , p_(matrix(lo - 1, lo + rows, lo - 1, lo + cols))
    {
        for (int i = lo - 1; i <= lo + rows; i++)
            for (int j = lo - 1; j <= lo + cols; j++)
                p_[i][j] = sentinel();
    }
    ~Matrix() { free_matrix(p_, lo_ - 1, lo_ + rows_, lo_ - 1, lo_ + cols_); }
    Matrix(const Matrix &) = delete;
    Matrix &operator=(const Matrix &) = delete;

    float **data() { return p_; }
    float *operator[](int i) { return p_[i]; }
    // Element (r, c) counted from 0, whatever the index base.
    float &at(int r, int c) { return p_[lo_ + r][lo_ + c]; }
    bool guards_intact() const
    {
        for (int i = lo_ - 1; i <= lo_ + rows_; i++)
            for (int j = lo_ - 1; j <= lo_ + cols_; j++) {
                const bool inside = i >= lo_ && i < lo_ + rows_ && j >= lo_ && j < lo_ + cols_;
                if (!inside && !is_sentinel(p_[i][j]))
                    return false;
            }
        return true;
    }
    // Row-major copy of the used range, and the reverse.
    std::vector<float> values()
    {
        std::vector<float> out;
        for (int r = 0; r < rows_; r++)
            for (int c = 0; c < cols_; c++)
                out.push_back(at(r, c));
        return out;
    }
    void set(const std::vector<float> &rowmajor)
    {
        for (int r = 0; r < rows_; r++)
            for (int c = 0; c < cols_; c++)
                at(r, c) = rowmajor[static_cast<std::size_t>(r * cols_ + c)];
    }

private:
    int rows_, cols_, lo_;
    float **p_;
};

}  // namespace tv_test

#endif
