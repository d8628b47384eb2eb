// OpenBLAS splits its factorisations between its threads, and the split changes the rounding of
// the result. Calls whose output must not depend on the machine or on OMP_NUM_THREADS run under a
// FixedBlasThreads, which gives OpenBLAS a fixed number of threads for its lifetime; the
// program's own parallel loops follow OMP_NUM_THREADS.
#pragma once

namespace ambrel {

class FixedBlasThreads {
  public:
    static constexpr int THREADS = 2;

    FixedBlasThreads();
    // OpenBLAS's OpenMP build sets the OpenMP default with its own, so the caller's default is
    // given back as well.
    ~FixedBlasThreads();
    FixedBlasThreads(const FixedBlasThreads&) = delete;
    FixedBlasThreads& operator=(const FixedBlasThreads&) = delete;

  private:
    int saved_;
};

} // namespace ambrel
