// The shared arguments and names of the Levenberg-Marquardt fits (lm_args.h).
#include "lm_args.h"

namespace tvpy {
namespace {

namespace tb = tessivane::batch;

template <class T>
T field(const arguments &args, py::handle value, const char *name)
{
    if constexpr (std::is_same<T, bool>::value) {
        const int truth = PyObject_IsTrue(value.ptr());  // a flag: Python's truth
        if (truth < 0)
            throw py::error_already_set();
        return truth != 0;
    } else if constexpr (std::is_integral<T>::value) {
        return args.integer<T>(value, name);
    } else {
        const double v = PyFloat_AsDouble(value.ptr());
        if (v == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            args.type_error(std::string("rule.") + name + ": expected a real number");
        }
        return static_cast<T>(v);
    }
}

}  // namespace

tessivane::lm_stopping_rule stopping_rule(const arguments &args, py::handle rule)
{
    tessivane::lm_stopping_rule r;
    if (rule.is_none())
        return r;
#define TV_PY_READ_FIELD(name)                                                                     \
    r.name = field<decltype(r.name)>(args, rule.attr(#name), "rule." #name);
    TV_PY_LM_RULE_FIELDS(TV_PY_READ_FIELD)
#undef TV_PY_READ_FIELD
    return r;
}

std::vector<int> fit_flags(const arguments &args, py::handle ia, py::ssize_t ma, bool need_one)
{
    if (ia.is_none())
        return std::vector<int>(static_cast<size_t>(ma), 1);
    const farray flags = args.floats(ia, "ia");
    if (flags.ndim() != 1 || flags.size() != ma)
        args.value_error("ia must have shape (" + std::to_string(ma) + ",), got " +
                         shape_text(flags));
    std::vector<int> out(flags.data(), flags.data() + ma);
    for (int &f : out)
        f = f != 0;
    if (need_one && std::find(out.begin(), out.end(), 1) == out.end())
        args.value_error("ia holds every parameter, there is nothing to fit");
    return out;
}

void bind_lm_codes(py::module_ &m)
{
    py::enum_<tessivane::lm_outcome::reason> stops(m, "LMStop",
                                                   "Why a Levenberg-Marquardt fit stopped");
#define TV_PY_STOP_VALUE(reason, NAME) stops.value(#reason, tessivane::lm_outcome::reason);
    TV_LM_STOP_REASONS(TV_PY_STOP_VALUE)
#undef TV_PY_STOP_VALUE
    m.def("outcome_name", [](tb::row_state state, tessivane::lm_outcome::reason stop) {
        tb::lm_row_outcome row;
        row.state = state;
        row.outcome.stop = stop;
        return tb::outcome_name(row);
    });
    py::enum_<tb::row_state>(m, "RowState", "What became of a row of lm_fit_many")
        .value("fitted", tb::row_state::fitted)
        .value("refused", tb::row_state::refused)
        .value("not_run", tb::row_state::not_run);
    const tessivane::lm_stopping_rule defaults;
    py::list fields;
#define TV_PY_FIELD_DEFAULT(name) fields.append(py::make_tuple(#name, defaults.name));
    TV_PY_LM_RULE_FIELDS(TV_PY_FIELD_DEFAULT)
#undef TV_PY_FIELD_DEFAULT
    m.attr("lm_stopping_rule_fields") = fields;
}

}  // namespace tvpy
