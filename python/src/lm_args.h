// What the single and the batched Levenberg-Marquardt fits of the extension
// share: the stopping rule read from any object with its fields, the flags of
// the fitted parameters, and the names of the stop reasons and row states,
// bound once as enums (LMStop, RowState); every outcome string is the
// library's own name (reason_name, outcome_name).
#ifndef TESSIVANE_PY_LM_ARGS_H
#define TESSIVANE_PY_LM_ARGS_H

#include "args.h"
#include "batch.h"
#include "fit.h"

#include <string>
#include <vector>

// The fields of tessivane::lm_stopping_rule, in order.
#define TV_PY_LM_RULE_FIELDS(X)                                                                    \
    X(max_iterations)                                                                              \
    X(absolute_drop)                                                                               \
    X(relative_drop)                                                                               \
    X(quiet_steps)                                                                                 \
    X(max_lambda)                                                                                  \
    X(retry)

namespace tvpy {

// The rule's fields from the attributes of the same names (None: the defaults).
tessivane::lm_stopping_rule stopping_rule(const arguments &args, py::handle rule);

// ia as 0/1 flags of ma parameters (None: all fitted); with need_one, at
// least one must be fitted.
std::vector<int> fit_flags(const arguments &args, py::handle ia, py::ssize_t ma,
                           bool need_one = false);

// LMStop (from the library's list of stop reasons), RowState, the library's
// outcome_name(state, stop) and lm_stopping_rule_fields ((name, default) pairs).
void bind_lm_codes(py::module_ &m);

}  // namespace tvpy

#endif
