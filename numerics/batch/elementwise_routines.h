// The routines the element-wise batch (batch::special) runs, in the order of
// their codes: a routine's special_function value is its position here, so
// rows are only ever appended. Each is a TV_FUNCTION row of its family's
// routine table whose arguments are all scalars (VAL or COUNT); the batch
// hands each argument over as the routine's own parameter type says (see
// batch::special). No include guard on purpose: a context defines
// TV_ELEMENTWISE(name), includes this file, and it undefines the macro again.

TV_ELEMENTWISE(gammln)
TV_ELEMENTWISE(gammq)
TV_ELEMENTWISE(betai)
TV_ELEMENTWISE(erfcc)
TV_ELEMENTWISE(probks)
TV_ELEMENTWISE(t_to_p)
TV_ELEMENTWISE(t_to_p_real)
TV_ELEMENTWISE(r_to_p)
TV_ELEMENTWISE(F_to_p)
TV_ELEMENTWISE(p_to_t)
TV_ELEMENTWISE(p_to_r)
TV_ELEMENTWISE(p_to_F)
TV_ELEMENTWISE(p_to_z)
TV_ELEMENTWISE(kstwo_prob)
TV_ELEMENTWISE(kstwo_prob_exact)

#undef TV_ELEMENTWISE
