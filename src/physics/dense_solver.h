// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Dense symmetric solver for the elastance matrix P (units 1/m): charges x = P^-1 v, the total
// 1^T P^-1 1 and, on demand, the capacitance matrix P^-1, all to 80-bit precision.
//
// Two tiers give the same results far faster than an in-place Gauss-Jordan inversion:
// - fast: Cholesky of P rounded to double (LAPACK dpotrf), then iterative refinement with
//   residuals b - P x computed in long double against the exact P;
// - exact: blocked LDL^T without pivoting in long double on all cores. Its pivots are the
//   Gauss-Jordan pivots, so a pivot below 1e-12 stops it at the same 1-based index.
// Gauss-Jordan itself stays available as the reference for tests and benchmarks.
#pragma once

#include "model/types.h"
#include "physics/row_major_view.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace ambrel {

// A pivot of magnitude below this stops the elimination: the matrix counts as singular.
inline constexpr Real SINGULAR_PIVOT_LIMIT = 1e-12L;
// The fast tier is taken only when every Cholesky pivot is at least this large (and above the
// rounding error of a double factorisation, 4 n eps |P_kk|), a margin above SINGULAR_PIVOT_LIMIT
// so that double rounding can never hide a pivot the exact arithmetic would call singular.
inline constexpr Real FAST_TIER_MIN_PIVOT = 1e-10L;

enum class SolverTier { Fast, Exact, Reference };

// Where the fast tier starts from.
//  Fresh: factors P afresh and refines from x = 0.
//  Warm: refines against the new P with the double Cholesky factor of an earlier P of the same
//        size as the preconditioner, starting from the last solutions; P is factored afresh only
//        when that refinement does not converge quickly. Successive solves of slowly changing
//        systems (the steps of a relaxation) each start from the one before.
//  WarmFromAnchor: as Warm, but every solve starts from the same solutions (those of the solve
//        before the first WarmFromAnchor one): small perturbations of one base system.
// All three give the solution to the same precision; the last bits may differ.
enum class SolveStart { Fresh, Warm, WarmFromAnchor };
// Smaller systems always start fresh: their factorisation costs no more than the extra
// refinement steps a warm start takes.
inline constexpr int WARM_START_MIN_SIZE = 200;

struct SolveOutcome {
    SolverTier tier_used = SolverTier::Fast;
    int singular_pivot = 0;   // 1-based index p of the first pivot with |pivot| < 1e-12, 0 when none
    Real total = 0;           // 1^T P^-1 1 (sum of all entries of the inverse), matrix units
    bool warm = false;        // solved by the warm refinement, without factoring P
    int refinement_steps = 0; // residual evaluations of the fast tier (warm and fresh together)
};

// Iterative refinement of x = P^-1 v: x += M^-1 (v - P x), with M a double Cholesky factor of P (the
// fast tier), of an earlier P (a warm start), or of the base state's P with a low-rank update (the
// Jacobian's perturbed evaluations, physics/perturbation.h). Every such loop judges its corrections
// by RefinementJudge and stops at the same bounds:
// - done when a correction can change at most the last bit of the largest entry (2^-63);
// - corrections that stop shrinking are the rounding noise of the long double residual, amplified
//   by the conditioning of P (about 1e-16 of the largest entry for 2000 spheres in plates; any
//   80-bit method has that error): the result is kept when they are below 2^-50 of it, and, from a
//   warm start, when it contracted by 4 in one step before, or its corrections never exceeded
//   2^-56 of it. Larger ones mean the preconditioner is too poor: the caller takes another way
//   (the exact tier, a fresh factor, a full evaluation).
inline constexpr int MAX_REFINEMENT_STEPS = 10;
// A warm refinement that needs more steps than this is slower than factoring afresh.
inline constexpr int MAX_WARM_REFINEMENT_STEPS = 8;
inline constexpr Real REFINEMENT_CONVERGED = 0x1p-63L;
inline constexpr Real REFINEMENT_STAGNATION_ACCEPTED = 0x1p-50L;
inline constexpr Real REFINEMENT_WARM_CONTRACTION = 0.25L;
inline constexpr Real REFINEMENT_WARM_NOISE = 0x1p-56L;
// Once a correction c is at most this large relative to the solution x, the long double residual
// may be updated by P c computed in double instead of computed in full: that product errs by at
// most 2^-53 |P| |c| <= 2^-65 |P| |x| entry by entry, below the rounding of a long double residual
// itself (2^-64 |P| |x| and more), so the update is as good as a residual computed in full, at a
// quarter of the memory traffic and none of the x87 work.
inline constexpr Real DOUBLE_PRODUCT_CORRECTION = 0x1p-12L;

// The progress of the refinement of one solution vector.
class RefinementJudge {
  public:
    // `warm_start`: x starts from an earlier solution (not from 0).
    explicit RefinementJudge(bool warm_start = false);
    // Adds the correction c to x and judges the step (`first`: the first correction).
    void apply(int n, Real* x, const double* c, bool first);

    bool done = false;
    bool failed = false;
    Real last_correction = 0; // the largest entry of the last correction
    Real last_norm = 0;       // of the solution after it

  private:
    bool warm;
    Real best_ratio = 1; // the smallest ratio of successive corrections so far
};

// In-place Gauss-Jordan inversion without pivoting of the n x n row-major block m (leading
// dimension ld, 0-based storage). Returns 0, or the 1-based pivot p at which |a| < 1e-12 stopped
// it; the block is then left partly transformed (pivots 1..p-1 eliminated). n^3 multiply-adds on
// one core: the reference the fast tiers are checked and timed against.
int gauss_jordan_invert(int n, Real* m, int ld);

// A general n x n system (row-major, 0-based) by elimination with partial pivoting in long
// double: `a` becomes its LU factors (the row exchanges in `swaps`), then any number of right-hand
// sides are solved in place. lu_factor returns 0, or the 1-based column whose largest pivot is
// not above `limit` times the largest diagonal entry (the system is then singular to that degree).
// The one elimination of the program's small systems: DoubleLu below runs the same in double.
int lu_factor(int n, Real* a, std::vector<int>& swaps, Real limit);
void lu_solve(int n, const Real* lu, const std::vector<int>& swaps, Real* b);

// The same by LAPACK in double (dgetrf, dgetrs): for systems whose solution wants a few digits
// only (a step's direction or length), where a long double elimination of hundreds of rows costs
// far more than the evaluations around it. factor takes the row-major a less shift times the
// identity and returns 0, or the 1-based column whose pivot is not above `limit` times the largest
// diagonal entry. Below DOUBLE_LU_LAPACK_MIN_SIZE rows the same elimination runs in plain code,
// which costs less than one call into LAPACK.
inline constexpr int DOUBLE_LU_LAPACK_MIN_SIZE = 32;
class DoubleLu {
  public:
    int factor(int n, const Real* a, Real shift, Real limit);
    // The same for a row-major matrix already in double.
    int factor(int n, const double* a, double shift, double limit);
    void solve(Real* b) const;
    void solve(double* b) const;

  private:
    // Factors lu_ in place (pivots_, with LAPACK's 1-based row exchanges).
    int eliminate(double limit);

    int n_ = 0;
    std::vector<double> lu_; // column-major
    std::vector<int> pivots_;
};

// Storage that grows to the largest size asked of it and is never zero-filled: every entry the
// solver reads it has written first. Growing drops the contents.
template <typename T> class GrowingBuffer {
  public:
    T* ensure(std::size_t count) {
        if (count > size_) {
            data_.reset(); // the old block goes before the new one comes
            data_.reset(new T[count]);
            size_ = count;
        }
        return data_.get();
    }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

  private:
    std::unique_ptr<T[]> data_;
    std::size_t size_ = 0;
};

class DenseSymmetricSolver {
  public:
    explicit DenseSymmetricSolver(int capacity = MAX_SPHERES);
    DenseSymmetricSolver(const DenseSymmetricSolver&) = delete;
    DenseSymmetricSolver& operator=(const DenseSymmetricSolver&) = delete;

    // Width of the column blocks of the exact tier's factorisation.
    static constexpr int block_size = 96;

    int capacity() const { return capacity_; }
    // Hears, on the calling thread and outside any parallel region, the share of its work (0 to
    // 1) that the exact tier's factorisation and the inverse have done; the host of a long
    // command draws it. Empty by default.
    void set_progress(std::function<void(double done)> progress) { progress_ = std::move(progress); }
    // Bytes of storage the solver holds now.
    std::size_t held_bytes() const;

    // Row-major n x n storage (leading dimension n) for the elastance matrix P; the caller fills
    // both triangles. The storage of each tier grows with the largest n it has served and is
    // made only when that tier first runs (the exact tier's and the inverse's often never).
    // Forgets any factorisation of an earlier P.
    // Returns nullptr when n is outside 0..capacity().
    Real* matrix(int n);

    // What the code filling P may compute on the way, each pass over memory it saves (systems of
    // WARM_START_MIN_SIZE or more; call after matrix(n), before solve()):
    //  - the solutions x and y the next solve(n, ..., start) will start from (false when it
    //    starts fresh). Their products P x and P y go into warm_products(n) (2n, x's first),
    //    marked by set_warm_products(): the warm refinement's first residual then needs no pass.
    //  - double_matrix(n): P rounded to double in the row-major strictly upper triangle (leading
    //    dimension n), double_diagonal(n) its diagonal, marked by set_double_matrix().
    bool warm_start_solutions(int n, SolveStart start, const Real*& x, const Real*& y) const;
    Real* warm_products(int n) { return products_ld_.ensure(2 * static_cast<std::size_t>(n)); }
    void set_warm_products() { warm_products_ready_ = true; }
    double* double_matrix(int n) { return dwork_.ensure(static_cast<std::size_t>(n) * n); }
    double* double_diagonal(int n) { return pdiag_.ensure(static_cast<std::size_t>(n)); }
    void set_double_matrix() { double_matrix_ready_ = true; }

    // Solves P x = v and P y = 1 (y summed into outcome.total) for the P filled through
    // matrix(n). requested = Fast: the fast tier when it is acceptable, else the exact tier;
    // Exact forces the exact tier; Reference runs Gauss-Jordan on a copy of P.
    // On a singular pivot: outcome.singular_pivot = p, x all 0, total 0.
    // P itself is left intact; v and x must not overlap. An n outside 1..capacity() solves
    // nothing (x untouched, total 0). start applies to the fast tier only.
    SolveOutcome solve(int n, const Real* v, Real* x, SolverTier requested = SolverTier::Fast,
                       SolveStart start = SolveStart::Fresh);

    // Solves P x = v for one more right-hand side after solve() of the same P, to the same
    // precision, with what that solve left: the Gauss-Jordan inverse, the exact tier's factor,
    // or the double Cholesky factor as the preconditioner of the refinement (the exact tier's
    // factor is made when that does not converge). Returns 0, or the 1-based singular pivot
    // (x then all 0).
    int solve_additional(int n, const Real* v, Real* x);

    // The matrix last filled through matrix(n), row-major with leading dimension n.
    const Real* matrix_data() const { return p_.data(); }
    // The double Cholesky factor U (P ~ U^T U, U column-major upper, that is the row-major lower
    // triangle with leading dimension n) of the last fast solve of size n; nullptr when none is held.
    const double* cholesky_factor(int n) const { return cholesky_n_ == n ? dwork_.data() : nullptr; }

    // Full inverse (capacitance matrix) of P (n as given to matrix()), row-major n x n into out,
    // from the exact tier's factorisation, reused when solve() already made it (or Gauss-Jordan's
    // inverse when the last solve ran the reference); exactly symmetric except in that case.
    // Returns 0, or the 1-based singular pivot (out then all 0).
    int inverse(int n, Real* out);

  private:
    enum class Held { Nothing, Factor, Singular, GaussJordanInverse };

    bool solve_fast(int n, const Real* v, Real* x, Real* y, int& steps);
    // Refinement against P from the held solutions with the held double factor; false when it
    // does not converge quickly (x and y are then garbage).
    bool solve_warm(int n, const Real* v, Real* x, Real* y, int& steps);
    // The refinement loop of both: x and y hold the start, r the first residuals (double).
    // With first_residual_ready the residual buffer already holds the first residuals.
    bool refine(int n, const Real* v, Real* x, Real* y, bool warm, int& steps,
                bool first_residual_ready = false);
    // P in double into the strictly upper triangle of dwork_ and pdiag_ (large systems).
    void store_double_matrix(int n);
    // LDL^T of P into factor_ (L strictly below the diagonal, D on it); returns 0 or the
    // 1-based singular pivot.
    int factor_ldlt(int n);
    void factor_diagonal_block(int n, int kb, int b, int& singular);
    void factor_panel(int n, int kb, int b);
    void update_trailing(int n, int kb, int b);
    void solve_with_factor(int n, const Real* v, Real* x, Real* y) const;
    void invert_with_factor(int n, Real* out);

    void report_progress(double done) const {
        if (progress_)
            progress_(done);
    }

    int capacity_;
    std::function<void(double)> progress_;
    // The share of the progress that factor_ldlt ends at: all of it in a solve, the first half in
    // an inverse.
    double progress_to_ = 1;
    int threads_ = 1;
    Held held_ = Held::Nothing;
    int held_n_ = -1;
    int held_pivot_ = 0;
    int cholesky_n_ = -1;              // size of the double Cholesky factor held in dwork_, -1 when none
    int start_n_ = -1;                 // size of the solutions held in start_x_, start_y_, -1 when none
    bool last_warm_ = false;           // the last solve() refined with the factor of an earlier P
    bool warm_products_ready_ = false; // products_ld_ holds P x, P y of the warm start
    bool double_matrix_ready_ = false; // the upper triangle of dwork_ and pdiag_ hold P in double

    // Makes room for the exact tier's factorisation of size n.
    void ensure_exact_storage(int n);

    GrowingBuffer<Real> p_;      // P as given, leading dimension n
    GrowingBuffer<Real> factor_; // LDL^T factor or the Gauss-Jordan inverse, leading dimension n
    GrowingBuffer<Real> y_;      // P^-1 1
    // Doubles: the Cholesky factor of the fast tier; in inverse() the packed triangular factors.
    GrowingBuffer<double> dwork_;
    GrowingBuffer<double> rhs_;             // two right-hand sides of the fast tier, column-major
    GrowingBuffer<Real> start_x_, start_y_; // the solutions warm starts begin from
    GrowingBuffer<Real> residual_;          // the fast tier's two residuals in long double
    GrowingBuffer<Real> extra_y_;           // scratch of solve_additional
    GrowingBuffer<Real> products_ld_;       // P x, P y of the warm start, from the caller
    GrowingBuffer<double> pdiag_, products_, products_scratch_;
    // Packed operands of the blocked LDL^T, each long double split exactly into hi + lo doubles.
    GrowingBuffer<double> w_hi_, w_lo_;                   // W = L D of the panel, by row
    GrowingBuffer<double> l_hi_, l_lo_;                   // L of the panel, in groups of four rows
    GrowingBuffer<double> wd_hi_, wd_lo_, ld_hi_, ld_lo_; // W and L of the diagonal block
    GrowingBuffer<double> group_hi_, group_lo_;           // per-thread column groups for inverse()
};

} // namespace ambrel
