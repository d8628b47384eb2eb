// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The LAPACK and BLAS routines of OpenBLAS that the core calls, declared once (Fortran calling
// convention: every argument by pointer, and after them the hidden length of each character
// argument). Their meaning is LAPACK's: E. Anderson et al., LAPACK Users' Guide, 3rd ed., SIAM 1999.
#pragma once

#include <cstddef>

extern "C" {
// Cholesky factorisation of a symmetric positive definite matrix, and solves with it.
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info, std::size_t uplo_len);
void dpotrs_(const char* uplo, const int* n, const int* nrhs, const double* a, const int* lda, double* b,
             const int* ldb, int* info, std::size_t uplo_len);
// A triangular solve (BLAS level 2).
void dtrsv_(const char* uplo, const char* trans, const char* diag, const int* n, const double* a,
            const int* lda, double* x, const int* incx, std::size_t uplo_len, std::size_t trans_len,
            std::size_t diag_len);
// LU factorisation with partial pivoting, and solves with it.
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info, std::size_t trans_len);
// The nonsymmetric eigenvalue driver, and its parts: balancing, Hessenberg reduction, the
// multishift and the double-shift QR iterations.
void dgeev_(const char* jobvl, const char* jobvr, const int* n, double* a, const int* lda, double* wr,
            double* wi, double* vl, const int* ldvl, double* vr, const int* ldvr, double* work,
            const int* lwork, int* info, std::size_t jobvl_len, std::size_t jobvr_len);
void dgebal_(const char* job, const int* n, double* a, const int* lda, int* ilo, int* ihi, double* scale,
             int* info, std::size_t job_len);
void dgehrd_(const int* n, const int* ilo, const int* ihi, double* a, const int* lda, double* tau,
             double* work, const int* lwork, int* info);
void dhseqr_(const char* job, const char* compz, const int* n, const int* ilo, const int* ihi, double* h,
             const int* ldh, double* wr, double* wi, double* z, const int* ldz, double* work,
             const int* lwork, int* info, std::size_t job_len, std::size_t compz_len);
void dlahqr_(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi, double* h,
             const int* ldh, double* wr, double* wi, const int* iloz, const int* ihiz, double* z,
             const int* ldz, int* info);
// OpenBLAS's own: the threads of its routines.
void openblas_set_num_threads(int num_threads);
}
