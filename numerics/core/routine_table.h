#ifndef TESSIVANE_ROUTINE_TABLE_H
#define TESSIVANE_ROUTINE_TABLE_H

// The grammar of the routine tables (<family>_routines.h): one row per
// exported routine, from which the C interface, its checks, the batch
// dispatch and the expected symbol lists are made. docs/routine-table.md
// explains how to read and extend them. Valid C99 and C++.
//
// A row is
//     TV_FUNCTION(name, result type, argument, ...)   a routine that returns a value
//     TV_PROCEDURE(name, argument, ...)               a routine that returns nothing
//     TV_RELEASE(name, argument, ...)                 a release function (NULL handle: no-op)
//     TV_CALLBACK(name, argument, ...)                a shipped basis or model: its C form is
//                                                     the callback itself and cannot fail
//     TV_BATCH(name, routine, argument, ...)          a batch over many series: tv_<name>
//                                                     runs the C++ batch `routine` (batch.h)
//                                                     and drops its report
// and each argument is a parenthesised tuple whose first word is its kind:
//     (VAL, type, name)        a scalar read by value
//     (COUNT, type, name)      a scalar count or size that array lengths refer to
//     (FLAG, name)             int in C (0 or not), bool in C++
//     (OUT, type, name)        *name is written; never NULL
//     (INOUT, type, name)      *name is read and written; never NULL
//     (REF, type, name)        as INOUT, a reference in C++ (type &name)
//     (KEPT, type, name)       an out-parameter the routine leaves as passed; may be NULL
//     (PROB, type, name, e)    left as passed by the C++ routine; the front ends write e,
//                              its significance, after the call; never NULL
//     (ARR, dir, type, name, base, length)         an array name[base..base+length-1]
//     (MAT, dir, type, name, base, rows, cols)     a row-pointer matrix, rows and columns from base
//     (TENSOR, dir, type, name, base, n1, n2, n3)  a row-pointer tensor
//     (BASIS, name)            the basis callback of the linear fit (tv_basis)
//     (MODEL, name)            the model callback of the nonlinear fit (tv_lm_model)
//     (SERIES, dir, type, name, width, count, length, series_stride, sample_stride)
//                              `count` series of `length` elements of `width` values of
//                              `type` (1 real, 2 complex: real and imaginary part side by
//                              side); element k of series s (both 0-based) starts at
//                              name[width * (s * series_stride + k * sample_stride)]. The C++
//                              batch receives a series_view of it and, for INOUT, the same
//                              array as its output (in place). Never NULL while count > 0
//     (DIM, type, name)        a count or distance a SERIES reads: a C parameter that the
//                              C++ call receives through the series_view
//     (THREADS, name)          unsigned in C: a batch's worker threads (0: every CPU the
//                              process may use); batch_options in C++
//     (REQUIRE, condition, message)   a rule every front end applies before the call:
//                              when the condition is false the call is refused with
//                              "<name>: <message>" (the C++ routine itself does not check it)
// dir is IN (only read), OUT (only written), INOUT (read and written) or IN_OPT
// (read, may be NULL). Lengths and conditions are C expressions in the other
// arguments' names; base is 0 or 1 (or the expression the routine documents).
//
// A context (the C header, the C layer, a check, a symbol list) defines
// TV_FUNCTION, TV_PROCEDURE, TV_RELEASE and TV_CALLBACK from the helpers below
// and includes routines.h, which reads every table and undefines the four. A
// context that has a use for the batch rows defines TV_BATCH too (routines.h
// skips them otherwise).

// The callbacks of the fits, as the tables and the C interface name them.
// The basis of svdfit: stores X_1(x)..X_np(x) in p[1..np].
typedef void (*tv_basis)(float x, float *p, int np);
// The model of the Levenberg-Marquardt fit: stores y(x; a[1..na]) in *y and
// dy/da[j] in dyda[1..na].
typedef void (*tv_lm_model)(float x, float *a, float *y, float *dyda, int na);

// The kinds of each helper stay one line each, as written.
// clang-format off

// ---- Mapping over the arguments of a row (at most 16) ----

#define TV_RT_COUNT(...)                                                                   \
    TV_RT_COUNT_(__VA_ARGS__, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define TV_RT_COUNT_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, n, \
                     ...)                                                                       \
    n
#define TV_RT_CAT(a, b) TV_RT_CAT_(a, b)
#define TV_RT_CAT_(a, b) a##b
#define TV_RT_KIND(a, b) TV_RT_KIND_(a, b)
#define TV_RT_KIND_(a, b) a##b

// TV_RT_MAP(m, a1, a2, ...) is m a1 m a2 ...: each argument tuple handed to m.
#define TV_RT_MAP(m, ...) TV_RT_CAT(TV_RT_MAP_, TV_RT_COUNT(__VA_ARGS__))(m, __VA_ARGS__)
#define TV_RT_MAP_1(m, a) m a
#define TV_RT_MAP_2(m, a, ...) m a TV_RT_MAP_1(m, __VA_ARGS__)
#define TV_RT_MAP_3(m, a, ...) m a TV_RT_MAP_2(m, __VA_ARGS__)
#define TV_RT_MAP_4(m, a, ...) m a TV_RT_MAP_3(m, __VA_ARGS__)
#define TV_RT_MAP_5(m, a, ...) m a TV_RT_MAP_4(m, __VA_ARGS__)
#define TV_RT_MAP_6(m, a, ...) m a TV_RT_MAP_5(m, __VA_ARGS__)
#define TV_RT_MAP_7(m, a, ...) m a TV_RT_MAP_6(m, __VA_ARGS__)
#define TV_RT_MAP_8(m, a, ...) m a TV_RT_MAP_7(m, __VA_ARGS__)
#define TV_RT_MAP_9(m, a, ...) m a TV_RT_MAP_8(m, __VA_ARGS__)
#define TV_RT_MAP_10(m, a, ...) m a TV_RT_MAP_9(m, __VA_ARGS__)
#define TV_RT_MAP_11(m, a, ...) m a TV_RT_MAP_10(m, __VA_ARGS__)
#define TV_RT_MAP_12(m, a, ...) m a TV_RT_MAP_11(m, __VA_ARGS__)
#define TV_RT_MAP_13(m, a, ...) m a TV_RT_MAP_12(m, __VA_ARGS__)
#define TV_RT_MAP_14(m, a, ...) m a TV_RT_MAP_13(m, __VA_ARGS__)
#define TV_RT_MAP_15(m, a, ...) m a TV_RT_MAP_14(m, __VA_ARGS__)
#define TV_RT_MAP_16(m, a, ...) m a TV_RT_MAP_15(m, __VA_ARGS__)

// Each kind expands to its own leading comma (or to nothing), so a list drops
// the first token: TV_RT_TAIL(~ , a, b) is a, b.
#define TV_RT_TAIL(...) TV_RT_TAIL_(__VA_ARGS__)
#define TV_RT_TAIL_(first, ...) __VA_ARGS__

// ---- C parameters: TV_C_PARAMS(args...) is the parameter list of tv_<name> ----

#define TV_C_PARAMS(...) TV_RT_TAIL(~ TV_RT_MAP(TV_C_PARAM, __VA_ARGS__))
#define TV_C_PARAM(kind, ...) TV_RT_KIND(TV_C_PARAM_, kind)(__VA_ARGS__)
#define TV_C_PARAM_VAL(type, name) , type name
#define TV_C_PARAM_COUNT(type, name) , type name
#define TV_C_PARAM_FLAG(name) , int name
#define TV_C_PARAM_OUT(type, name) , type *name
#define TV_C_PARAM_INOUT(type, name) , type *name
#define TV_C_PARAM_REF(type, name) , type *name
#define TV_C_PARAM_KEPT(type, name) , type *name
#define TV_C_PARAM_PROB(type, name, significance) , type *name
#define TV_C_PARAM_ARR(dir, type, name, base, length) , type *name
#define TV_C_PARAM_MAT(dir, type, name, base, rows, cols) , type **name
#define TV_C_PARAM_TENSOR(dir, type, name, base, n1, n2, n3) , type ***name
#define TV_C_PARAM_BASIS(name) , tv_basis name
#define TV_C_PARAM_MODEL(name) , tv_lm_model name
#define TV_C_PARAM_REQUIRE(condition, message)
#define TV_C_PARAM_SERIES(dir, type, name, width, count, length, series_stride, sample_stride) \
    , type *name
#define TV_C_PARAM_DIM(type, name) , type name
#define TV_C_PARAM_THREADS(name) , unsigned name

// ---- C++ call: TV_CXX_ARGS(args...) hands the C parameters to the C++ routine ----

#define TV_CXX_ARGS(...) TV_RT_TAIL(~ TV_RT_MAP(TV_CXX_ARG, __VA_ARGS__))
#define TV_CXX_ARG(kind, ...) TV_RT_KIND(TV_CXX_ARG_, kind)(__VA_ARGS__)
#define TV_CXX_ARG_VAL(type, name) , name
#define TV_CXX_ARG_COUNT(type, name) , name
#define TV_CXX_ARG_FLAG(name) , (name) != 0
#define TV_CXX_ARG_OUT(type, name) , name
#define TV_CXX_ARG_INOUT(type, name) , name
#define TV_CXX_ARG_REF(type, name) , *(name)
#define TV_CXX_ARG_KEPT(type, name) , name
#define TV_CXX_ARG_PROB(type, name, significance) , name
#define TV_CXX_ARG_ARR(dir, type, name, base, length) , name
#define TV_CXX_ARG_MAT(dir, type, name, base, rows, cols) , name
#define TV_CXX_ARG_TENSOR(dir, type, name, base, n1, n2, n3) , name
#define TV_CXX_ARG_BASIS(name) , name
#define TV_CXX_ARG_MODEL(name) , name
#define TV_CXX_ARG_REQUIRE(condition, message)
#define TV_CXX_ARG_SERIES(dir, type, name, width, count, length, series_stride, sample_stride) \
    , tessivane::batch::series_view{name, count, length, series_stride, sample_stride} \
      TV_RT_OUTPUT_##dir(name)
#define TV_CXX_ARG_DIM(type, name)
#define TV_CXX_ARG_THREADS(name) \
    , [&] { tessivane::batch::batch_options o_; o_.threads = (name); return o_; }()
#define TV_RT_OUTPUT_IN(name)
#define TV_RT_OUTPUT_INOUT(name) , name

// ---- Pointers: TV_POINTERS(args...) lists {name, present, required} of every pointer ----
// (required: the front ends refuse NULL; IN_OPT arrays and KEPT outputs may be
// NULL), after a first entry that names nothing, so that the list is never empty.

#define TV_POINTERS(...) {"", 1, 0} TV_RT_MAP(TV_POINTER, __VA_ARGS__)
#define TV_POINTER(kind, ...) TV_RT_KIND(TV_POINTER_, kind)(__VA_ARGS__)
#define TV_POINTER_VAL(type, name)
#define TV_POINTER_COUNT(type, name)
#define TV_POINTER_FLAG(name)
#define TV_POINTER_OUT(type, name) , {#name, (name) != 0, 1}
#define TV_POINTER_INOUT(type, name) , {#name, (name) != 0, 1}
#define TV_POINTER_REF(type, name) , {#name, (name) != 0, 1}
#define TV_POINTER_KEPT(type, name) , {#name, (name) != 0, 0}
#define TV_POINTER_PROB(type, name, significance) , {#name, (name) != 0, 1}
#define TV_POINTER_ARR(dir, type, name, base, length) \
    , {#name, (name) != 0, TV_RT_REQUIRED_##dir}
#define TV_POINTER_MAT(dir, type, name, base, rows, cols) \
    , {#name, (name) != 0, TV_RT_REQUIRED_##dir}
#define TV_POINTER_TENSOR(dir, type, name, base, n1, n2, n3) \
    , {#name, (name) != 0, TV_RT_REQUIRED_##dir}
#define TV_POINTER_BASIS(name) , {#name, (name) != 0, 1}
#define TV_POINTER_MODEL(name) , {#name, (name) != 0, 1}
#define TV_POINTER_REQUIRE(condition, message)
#define TV_POINTER_SERIES(dir, type, name, width, count, length, series_stride, sample_stride) \
    , {#name, (name) != 0, (count) > 0}
#define TV_POINTER_DIM(type, name)
#define TV_POINTER_THREADS(name)
#define TV_RT_REQUIRED_IN 1
#define TV_RT_REQUIRED_OUT 1
#define TV_RT_REQUIRED_INOUT 1
#define TV_RT_REQUIRED_IN_OPT 0

// ---- Rules: TV_RULES(args...) lists {condition holds, message} of every REQUIRE ----
// (after a first entry that always holds)

#define TV_RULES(...) {1, ""} TV_RT_MAP(TV_RULE, __VA_ARGS__)
#define TV_RULE(kind, ...) TV_RT_KIND(TV_RULE_, kind)(__VA_ARGS__)
#define TV_RULE_VAL(type, name)
#define TV_RULE_COUNT(type, name)
#define TV_RULE_FLAG(name)
#define TV_RULE_OUT(type, name)
#define TV_RULE_INOUT(type, name)
#define TV_RULE_REF(type, name)
#define TV_RULE_KEPT(type, name)
#define TV_RULE_PROB(type, name, significance)
#define TV_RULE_ARR(dir, type, name, base, length)
#define TV_RULE_MAT(dir, type, name, base, rows, cols)
#define TV_RULE_TENSOR(dir, type, name, base, n1, n2, n3)
#define TV_RULE_BASIS(name)
#define TV_RULE_MODEL(name)
#define TV_RULE_REQUIRE(condition, message) , {(condition), message}
#define TV_RULE_SERIES(dir, type, name, width, count, length, series_stride, sample_stride)
#define TV_RULE_DIM(type, name)
#define TV_RULE_THREADS(name)

// ---- Significances: TV_SIGNIFICANCES(args...) is a comma expression writing every PROB ----

#define TV_SIGNIFICANCES(...) ((void)0 TV_RT_MAP(TV_SIGNIFICANCE, __VA_ARGS__))
#define TV_SIGNIFICANCE(kind, ...) TV_RT_KIND(TV_SIGNIFICANCE_, kind)(__VA_ARGS__)
#define TV_SIGNIFICANCE_VAL(type, name)
#define TV_SIGNIFICANCE_COUNT(type, name)
#define TV_SIGNIFICANCE_FLAG(name)
#define TV_SIGNIFICANCE_OUT(type, name)
#define TV_SIGNIFICANCE_INOUT(type, name)
#define TV_SIGNIFICANCE_REF(type, name)
#define TV_SIGNIFICANCE_KEPT(type, name)
#define TV_SIGNIFICANCE_PROB(type, name, significance) , (void)(*(name) = (significance))
#define TV_SIGNIFICANCE_ARR(dir, type, name, base, length)
#define TV_SIGNIFICANCE_MAT(dir, type, name, base, rows, cols)
#define TV_SIGNIFICANCE_TENSOR(dir, type, name, base, n1, n2, n3)
#define TV_SIGNIFICANCE_BASIS(name)
#define TV_SIGNIFICANCE_MODEL(name)
#define TV_SIGNIFICANCE_REQUIRE(condition, message)
#define TV_SIGNIFICANCE_SERIES(dir, type, name, width, count, length, series_stride, sample_stride)
#define TV_SIGNIFICANCE_DIM(type, name)
#define TV_SIGNIFICANCE_THREADS(name)

// ---- Extents: TV_EXTENTS(args...) lists {kind, dir, name, base, n1, n2, n3} of every array ----
// (the sizes as long long, evaluated from the other arguments; an ARR has n2 =
// n3 = 1, a MAT n3 = 1; a SERIES has base 0 and the sizes count, length and
// width, its strides aside; a negative or overflowing size comes out negative).
// Evaluate it only after TV_POINTERS found every required pointer present.
// After a first entry that names nothing, so that the list is never empty.

#define TV_EXTENTS(...) {"", "", "", 0, 0, 0, 0} TV_RT_MAP(TV_EXTENT, __VA_ARGS__)
#define TV_EXTENT(kind, ...) TV_RT_KIND(TV_EXTENT_, kind)(__VA_ARGS__)
#define TV_EXTENT_VAL(type, name)
#define TV_EXTENT_COUNT(type, name)
#define TV_EXTENT_FLAG(name)
#define TV_EXTENT_OUT(type, name)
#define TV_EXTENT_INOUT(type, name)
#define TV_EXTENT_REF(type, name)
#define TV_EXTENT_KEPT(type, name)
#define TV_EXTENT_PROB(type, name, significance)
#define TV_EXTENT_ARR(dir, type, name, base, length) \
    , {"ARR", #dir, #name, (long long)(base), (long long)(length), 1, 1}
#define TV_EXTENT_MAT(dir, type, name, base, rows, cols) \
    , {"MAT", #dir, #name, (long long)(base), (long long)(rows), (long long)(cols), 1}
#define TV_EXTENT_TENSOR(dir, type, name, base, n1, n2, n3) \
    , {"TENSOR", #dir, #name, (long long)(base), (long long)(n1), (long long)(n2), (long long)(n3)}
#define TV_EXTENT_BASIS(name)
#define TV_EXTENT_MODEL(name)
#define TV_EXTENT_REQUIRE(condition, message)
#define TV_EXTENT_SERIES(dir, type, name, width, count, length, series_stride, sample_stride) \
    , {"SERIES", #dir, #name, 0, (long long)(count), (long long)(length), (long long)(width)}
#define TV_EXTENT_DIM(type, name)
#define TV_EXTENT_THREADS(name)

// ---- Description: TV_DESCRIBE(args...) lists {kind, dir, type, name, base, extent} as text ----
// (extent: the length, "rows x cols" or "n1 x n2 x n3"; for REQUIRE the
// condition in `extent` and the message in `name`; the C++ parameter type in
// `type`, as a demangler spells it: a SERIES stands for two C++ parameters
// (the view and, INOUT, the output), a DIM for none (type ""))

#define TV_DESCRIBE(...) TV_RT_TAIL(~ TV_RT_MAP(TV_DESCRIPTION, __VA_ARGS__))
#define TV_DESCRIPTION(kind, ...) TV_RT_KIND(TV_DESCRIPTION_, kind)(__VA_ARGS__)
#define TV_DESCRIPTION_VAL(type, name) , {"VAL", "IN", #type, #name, "", ""}
#define TV_DESCRIPTION_COUNT(type, name) , {"COUNT", "IN", #type, #name, "", ""}
#define TV_DESCRIPTION_FLAG(name) , {"FLAG", "IN", "bool", #name, "", ""}
#define TV_DESCRIPTION_OUT(type, name) , {"OUT", "OUT", #type "*", #name, "", ""}
#define TV_DESCRIPTION_INOUT(type, name) , {"INOUT", "INOUT", #type "*", #name, "", ""}
#define TV_DESCRIPTION_REF(type, name) , {"REF", "INOUT", #type "&", #name, "", ""}
#define TV_DESCRIPTION_KEPT(type, name) , {"KEPT", "OUT", #type "*", #name, "", ""}
#define TV_DESCRIPTION_PROB(type, name, significance) \
    , {"PROB", "OUT", #type "*", #name, "", #significance}
#define TV_DESCRIPTION_ARR(dir, type, name, base, length) \
    , {"ARR", #dir, #type "*", #name, #base, #length}
#define TV_DESCRIPTION_MAT(dir, type, name, base, rows, cols) \
    , {"MAT", #dir, #type "**", #name, #base, #rows " x " #cols}
#define TV_DESCRIPTION_TENSOR(dir, type, name, base, n1, n2, n3) \
    , {"TENSOR", #dir, #type "***", #name, #base, #n1 " x " #n2 " x " #n3}
#define TV_DESCRIPTION_BASIS(name) , {"BASIS", "IN", "void (*)(float, float*, int)", #name, "", ""}
#define TV_DESCRIPTION_MODEL(name) \
    , {"MODEL", "IN", "void (*)(float, float*, float*, float*, int)", #name, "", ""}
#define TV_DESCRIPTION_REQUIRE(condition, message) \
    , {"REQUIRE", "", "", message, "", #condition}
#define TV_DESCRIPTION_SERIES(dir, type, name, width, count, length, series_stride, sample_stride) \
    , {"SERIES", #dir, "tessivane::batch::series_view const&" TV_RT_OUTPUT_TYPE_##dir(type), \
       #name, "0", #count " x " #length " x " #width}
#define TV_DESCRIPTION_DIM(type, name) , {"DIM", "IN", "", #name, "", ""}
#define TV_DESCRIPTION_THREADS(name) \
    , {"THREADS", "IN", "tessivane::batch::batch_options const&", #name, "", ""}
#define TV_RT_OUTPUT_TYPE_IN(type)
#define TV_RT_OUTPUT_TYPE_INOUT(type) ", " #type "*"

// clang-format on

#endif
