// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Evaluations of a base state with the spheres of one object moved a little: the columns of a
// finite-difference Jacobian. Moving k spheres changes only k rows and columns of the elastance
// matrix, a change of rank at most 2k. Each perturbed state is solved from the base state's
// charges, with the base state's double Cholesky factor corrected for that change (the
// Sherman-Morrison-Woodbury formula: M. A. Woodbury, "Inverting modified matrices", Memorandum
// Report 42, Statistical Research Group, Princeton University 1950; G. H. Golub and C. F. Van Loan,
// Matrix Computations, 4th ed., section 2.1.4) as the preconditioner of an iterative refinement
// (Golub and Van Loan, section 3.5) whose residuals are exact to long double: the first is the base
// residual less the change times the base charges, later ones add the matrix times the (small)
// corrections. The change of the forces is computed as such: for pairs of unmoved spheres it is
// (dQ_i Q'_j + Q_i dQ_j) G_ij with the base pair geometry G, for pairs with a moved sphere the new
// pair force less the old. Both keep the relative error of the change of charges and forces about
// 1e-16, as small as the rounding of the long double forces themselves makes a finite difference of
// them. Each evaluation is independent of the others and of the thread that runs it.
#pragma once

#include "model/options.h"
#include "model/system_model.h"
#include "physics/dense_solver.h"
#include "physics/evaluation.h"

#include <memory>
#include <vector>

namespace ambrel {

// What every perturbed evaluation of one base state shares; read-only once prepared.
class PerturbationBase {
  public:
    // Prepares from the base model (positions computed) and its evaluation (charges and forces).
    // False when the base state does not suit: a sphere left out of the matrix, pairs of plates
    // possible, fewer than `smallest` or more than capacity spheres, or a matrix the fast tier
    // rejects.
    bool prepare(const SystemModel& model, const Options& options, const Evaluation& base, int capacity,
                 int smallest = WARM_START_MIN_SIZE);

    int size() const { return n_; }

  private:
    friend class PerturbedEvaluation;

    // The base positions and radii, G and S (below) of spheres s (0-based, q_ set).
    void prepare_pair_geometry(const Sphere* s, bool parallel);

    int n_ = 0;
    std::unique_ptr<DenseSymmetricSolver> solver_; // P (long double) and its double factor
    std::vector<double> p_double_;                 // P rounded to double, row-major
    std::vector<Real> v_;                          // voltage of each sphere
    std::vector<Real> x_;                          // the base charges / (4 pi e0)
    std::vector<Real> residual_;                   // v - P x, in long double
    std::vector<Real> q_, fx_, fy_, fz_;           // base charges and forces, 0-based
    std::vector<Real> px_, py_, pz_, r_;           // base positions and radii, 0-based
    // G_ab = (r_a - r_b) / |r_a - r_b|^3 for a < b (0 for overlapping spheres), packed by rows in
    // double, and S_a = sum over b of G_ab Q_b in long double.
    std::vector<double> gx_, gy_, gz_;
    std::vector<std::size_t> row_start_;
    std::vector<Real> sx_, sy_, sz_;
    // The rotational forces' geometry of the base state and its angles, per object (1-based).
    TurnGeometry turn_;
    std::vector<Real> ax_, az_;
    bool correct_ = false;
    unsigned generation_ = 0; // a number of its own for each preparation
};

// One thread's scratch for perturbed evaluations.
class PerturbedEvaluation {
  public:
    // Charges, forces and rotational forces of `model`, the base state with some spheres moved
    // (positions computed), into ev. False when this way does not apply (too many spheres
    // moved, or the refinement does not converge): then evaluate the state in full.
    bool evaluate(const PerturbationBase& base, const SystemModel& model, const Options& options,
                  Evaluation& ev);

  private:
    bool solve(const PerturbationBase& base);
    // The change D of P and the factors of the low-rank update of the base factor A.
    bool factor_update(const PerturbationBase& base);
    // r := (A + U V^T)^-1 r, in place.
    void precondition(double* r);
    // (D y)_i in long double.
    template <class T> Real change_times(const T* y, int i) const;
    void force_changes(const PerturbationBase& base);
    // The rotational forces, with the base's geometry for the objects at their base angles.
    void rotational_forces(const PerturbationBase& base, const SystemModel& model, const Options& options,
                           Evaluation& ev);

    int n_ = 0, k_ = 0;
    const Sphere* s_ = nullptr;  // the perturbed spheres, 0-based
    const double* a_ = nullptr;  // the base state's Cholesky factor A
    std::vector<int> moved_;     // 0-based indices of the moved spheres
    std::vector<char> is_moved_; // per sphere
    std::vector<Real> d_;        // k rows of the change of P, the moved columns halved
    std::vector<double> z_;      // A^-1 [e_s | d_s], n x 2k column-major
    std::vector<double> small_;  // I + V^T Z, 2k x 2k
    DoubleLu small_lu_;          // its LU factors
    std::vector<Real> x_, residual_;
    std::vector<double> r_, t_, c_;
    std::vector<double> delta_, ux_, uy_, uz_;
    std::vector<Real> dfx_, dfy_, dfz_;
    std::vector<PairTerm> pair_changes_; // per moved sphere, its pairs' new term less the old
    TurnGeometry turn_;
    std::vector<int> turned_; // the objects whose geometry turn_ holds anew
    unsigned turn_generation_ = 0;
};

} // namespace ambrel
