// Internal to libtessivane (not installed): owners for the scratch arrays of
// the numerics routines.
//
// An owner allocates through the array layer when it is constructed and
// releases through the matching release function when it is destroyed, or
// earlier through release(). The allocation and release calls are exactly the
// ones the routines made by hand, at the same moments, so the default mode
// (where nrerror ends the process) sees the same heap traffic. What the owners
// add is the release on the way out when nrerror throws.
#ifndef TESSIVANE_NUMERICS_DETAIL_SCRATCH_H
#define TESSIVANE_NUMERICS_DETAIL_SCRATCH_H

#include "nrutil.h"

namespace tessivane {
namespace detail {

// T is float, int, unsigned long or double, with the matching vector family.
template <typename T>
struct vector_family;
template <>
struct vector_family<float> {
    static float *allocate(long nl, long nh) { return ::vector(nl, nh); }
    static void release(float *v, long nl, long nh) { ::free_vector(v, nl, nh); }
};
template <>
struct vector_family<int> {
    static int *allocate(long nl, long nh) { return ::ivector(nl, nh); }
    static void release(int *v, long nl, long nh) { ::free_ivector(v, nl, nh); }
};
template <>
struct vector_family<unsigned long> {
    static unsigned long *allocate(long nl, long nh) { return ::lvector(nl, nh); }
    static void release(unsigned long *v, long nl, long nh) { ::free_lvector(v, nl, nh); }
};
template <>
struct vector_family<double> {
    static double *allocate(long nl, long nh) { return ::dvector(nl, nh); }
    static void release(double *v, long nl, long nh) { ::free_dvector(v, nl, nh); }
};

// A vector over nl..nh, used like the raw handle (v[i], or pass v where a T*
// is expected).
template <typename T>
class scratch_vector {
public:
    scratch_vector(long nl, long nh)
        : v_(vector_family<T>::allocate(nl, nh))
        , nl_(nl)
        , nh_(nh)
    {}
    ~scratch_vector() { release(); }
    scratch_vector(const scratch_vector &) = delete;
    scratch_vector &operator=(const scratch_vector &) = delete;

    operator T *() const { return v_; }
    T *get() const { return v_; }

    void release()
    {
        if (v_)
            vector_family<T>::release(v_, nl_, nh_);
        v_ = nullptr;
    }

private:
    T *v_;
    long nl_, nh_;
};

// A vector over 1..n, used like the raw handle, that lives inside the object
// when n <= N and comes from the array layer otherwise: the small systems of
// the fits are solved many times over, and their scratch need not touch the
// heap each time. A negative n goes to the array layer, which refuses it.
template <typename T, long N>
class local_vector {
public:
    explicit local_vector(long n)
        : heap_(n < 0 || n > N ? vector_family<T>::allocate(1, n) : nullptr)
        , n_(n)
    {}
    ~local_vector()
    {
        if (heap_)
            vector_family<T>::release(heap_, 1, n_);
    }
    local_vector(const local_vector &) = delete;
    local_vector &operator=(const local_vector &) = delete;

    operator T *() { return heap_ ? heap_ : local_; }

private:
    T *heap_;
    long n_;
    T local_[N + 1];  // local_[1..N]
};

// A float matrix over nrl..nrh x ncl..nch.
class scratch_matrix {
public:
    scratch_matrix(long nrl, long nrh, long ncl, long nch)
        : m_(::matrix(nrl, nrh, ncl, nch))
        , nrl_(nrl)
        , nrh_(nrh)
        , ncl_(ncl)
        , nch_(nch)
    {}
    ~scratch_matrix() { release(); }
    scratch_matrix(const scratch_matrix &) = delete;
    scratch_matrix &operator=(const scratch_matrix &) = delete;

    operator float **() const { return m_; }
    float **get() const { return m_; }

    void release()
    {
        if (m_)
            ::free_matrix(m_, nrl_, nrh_, ncl_, nch_);
        m_ = nullptr;
    }

private:
    float **m_;
    long nrl_, nrh_, ncl_, nch_;
};

}  // namespace detail
}  // namespace tessivane

#endif
