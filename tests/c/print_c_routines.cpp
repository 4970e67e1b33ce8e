// Prints numerics/c/tessivane_c_routines.h: the tv_ function of every
// routine-table row spelled out, family by family, with what it reads, writes
// and refuses. The prototype is the text of the same TV_C_PARAMS expansion that
// declares it in tessivane_c.h; `make c-routines` writes the file and the test
// c.routines_header_current fails when the checked-in copy differs.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "routine_table.h"

namespace {

// One argument of a row as text: its kind, direction, name, base and sizes (or,
// for a REQUIRE, the condition in `base` and the message in `name`; for a
// PROB, the significance in `base`; for a SERIES, the width in `base`, the
// count, length and the two strides in n1..n4).
struct argument {
    const char *kind, *dir, *name, *base, *n1, *n2, *n3, *n4;
};

constexpr int width = 100;

bool simple(const std::string &e)
{
    return e.find_first_of(" +-*/()|&=") == std::string::npos;
}

// "from..to" for `length` elements from `base`: 1..n, 0..n-1, nl..nh.
std::string range(const std::string &base, const std::string &length)
{
    if (base == "1")
        return "1.." + length;
    std::string last = simple(length) ? length + "-1" : "(" + length + ")-1";
    if (base == "0")
        return "0.." + last;
    // nl .. nl + (nh - nl + 1) - 1 reads better as nl..nh.
    std::string suffix = " - " + base + " + 1";
    if (length.size() > suffix.size() &&
        length.compare(length.size() - suffix.size(), suffix.size(), suffix) == 0)
        return base + ".." + length.substr(0, length.size() - suffix.size());
    return base + ".." + base + "+" + last;
}

// "`count` series of `n` values at `data`, value k of series s at `data[...]`".
std::string series(const argument &a)
{
    const bool complex = std::string(a.base) == "2";
    const std::string at = std::string("s*") + a.n3 + " + k*" + a.n4;
    return std::string("`") + a.n1 + "` series of `" + a.n2 + "`" + (complex ? " complex" : "") +
           " values at `" + a.name + "`, value k of series s (0-based) at `" + a.name +
           (complex ? "[2*(" + at + ")]` (real part) and the float after it (imaginary part)"
                    : "[" + at + "]`");
}

std::string span(const argument &a)
{
    if (std::string(a.kind) == "SERIES")
        return series(a);
    std::string k = a.kind, base = a.base, name = std::string("`") + a.name + "`";
    // A size of 0 is one the row leaves unchecked; a computed base reads
    // better apart from the ranges.
    if (std::string(a.n1) == "0")
        return name;
    if (!simple(base))
        return name + " (" + a.n1 + (k == "ARR" ? "" : std::string(" x ") + a.n2) +
               " from index `" + base + "`)";
    std::string s = std::string("`") + a.name + "[" + range(a.base, a.n1) + "]";
    if (k == "MAT" || k == "TENSOR")
        s += "[" + range(a.base, a.n2) + "]";
    if (k == "TENSOR")
        s += "[" + range(a.base, a.n3) + "]";
    return s + "`";
}

struct summary {
    std::vector<std::string> reads, writes, updates, optional, rules;
};

summary summarise(std::initializer_list<argument> args)
{
    summary s;
    for (const argument &a : args) {
        std::string k = a.kind, d = a.dir, scalar = std::string("`*") + a.name + "`";
        if (k == "REQUIRE")
            s.rules.push_back(std::string("`") + a.base + "` (\"" + a.name + "\")");
        else if (k == "ARR" || k == "MAT" || k == "TENSOR" || k == "SERIES")
            (d == "OUT"     ? s.writes
             : d == "INOUT" ? s.updates
                            : s.reads)
                .push_back(span(a) + (d == "IN_OPT" ? " (may be NULL)" : ""));
        else if (k == "OUT")
            s.writes.push_back(scalar);
        else if (k == "PROB")
            s.writes.push_back(scalar + " = `" + a.base + "`");
        else if (k == "INOUT" || k == "REF")
            s.updates.push_back(scalar);
        else if (k == "KEPT")
            s.optional.push_back(scalar + " (left as passed; may be NULL)");
    }
    return s;
}

void add(std::string &text, const char *verb, const std::vector<std::string> &items)
{
    if (items.empty())
        return;
    text += text.empty() ? std::string(verb) : std::string("; ") + verb;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i ? ", " : " ") + items[i];
}

// Words wrapped into // lines of at most `width` columns.
void print_comment(const std::string &text)
{
    std::string line = "//";
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        std::string word = text.substr(at, end == std::string::npos ? end : end - at);
        if (line.size() + 1 + word.size() > width && line != "//") {
            std::printf("%s\n", line.c_str());
            line = "//";
        }
        line += " " + word;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    std::printf("%s\n", line.c_str());
}

// The parameter list as C programmers write it: the preprocessor's text keeps
// the spaces of the expansion ("long nl , float * *result").
std::string tidy(std::string params)
{
    for (const char *gap : {" ,", "* *"}) {
        for (std::size_t at; (at = params.find(gap)) != std::string::npos;)
            params.erase(at + (gap[0] == '*'), 1);
    }
    return params;
}

// The declaration, broken after a comma where a line would pass `width`, the
// continuation lines aligned after the opening parenthesis.
void print_prototype(const std::string &head, const std::string &params)
{
    std::string out = "TV_API " + head + "(", line = out;
    const std::string indent(out.size(), ' ');
    std::size_t at = 0;
    while (at <= params.size()) {
        std::size_t comma = params.find(", ", at);
        bool last = comma == std::string::npos;
        std::string piece =
            params.substr(at, last ? std::string::npos : comma - at) + (last ? ");" : ",");
        if (line.size() + piece.size() + (line.back() == '(' ? 0 : 1) > width && line != out &&
            line != indent) {
            std::printf("%s\n", line.c_str());
            line = indent;
        }
        line += (line.back() == '(' || line == indent ? "" : " ") + piece;
        if (last)
            break;
        at = comma + 2;
    }
    std::printf("%s\n\n", line.c_str());
}

enum class form { function, procedure, release, callback, batch };

// `routine`: the C++ batch of a batch row.
void print_row(form f, const char *name, const char *returns, const char *params,
               std::initializer_list<argument> args, const char *routine = "")
{
    summary s = summarise(args);
    std::string what;
    if (f == form::release) {
        add(what, "releases", s.updates);
        what += "; a NULL handle is ignored";
    } else {
        add(what, "reads", s.reads);
        add(what, "writes", s.writes);
        add(what, "reads and writes", s.updates);
        add(what, "may write", s.optional);
    }
    if (f == form::function)
        what +=
            what.empty() ? "returns its value in `*result`" : "; returns its value in `*result`";
    std::string text = std::string(name) + ": " + what + ".";
    if (!s.rules.empty()) {
        std::string rules;
        add(rules, "TV_ERROR_INVALID_ARGUMENT unless", s.rules);
        text += " " + rules + ".";
    }
    if (f == form::callback)
        text += " A shipped callback, passed to the fits as it is; cannot fail.";
    if (f == form::batch)
        text += std::string(" Runs ") + routine +
                " on `threads` worker threads (0: every CPU the process may use).";
    print_comment(text);
    print_prototype(std::string(returns) + " tv_" + name, tidy(params));
}

void print_family(const char *header, const char *title)
{
    std::printf("// ---- %s (%s) ----\n\n", title, header);
}

void print_preamble()
{
    std::printf("%s",
                "#ifndef TESSIVANE_C_ROUTINES_H\n"
                "#define TESSIVANE_C_ROUTINES_H\n\n"
                "// The tv_ function of every routine-table row spelled out, family by family:\n"
                "// what tessivane_c.h declares from the tables (routines.h), with the arrays\n"
                "// each reads and writes and the rules it checks. Generated from the tables by\n"
                "// `make c-routines` (tests/c/print_c_routines.cpp): change a row, not this\n"
                "// file. tessivane_c.h includes it, so a prototype here that differs from its\n"
                "// row does not compile (\"conflicting declaration\": a row changed, run make\n"
                "// c-routines), and the test c.routines_header_current fails when the file is\n"
                "// not what the tables give. The conventions (status and tv_last_error,\n"
                "// `result`, the NULL checks, the rules' messages) are those of tessivane_c.h;\n"
                "// each routine's contract is the one above it in the family header named in\n"
                "// the section title. [process-wide state: not thread-safe] tv_ran1,\n"
                "// tv_gasdev, tv_mrqmin.\n\n"
                "#include \"tessivane_c.h\"\n\n"
                "#ifdef __cplusplus\n"
                "extern \"C\" {\n"
                "#endif\n\n"
                "/* clang-format off */\n\n");
}

void print_closing()
{
    std::printf("%s", "/* clang-format on */\n\n"
                      "#ifdef __cplusplus\n"
                      "}\n"
                      "#endif\n\n"
                      "#endif\n");
}

}  // namespace

// The text of a C parameter list, as the preprocessor spells the expansion.
#define TEXT(...) TEXT_(__VA_ARGS__)
#define TEXT_(...) #__VA_ARGS__

// Each argument as text, for the comment.
#define ARGUMENTS(...) TV_RT_TAIL(~TV_RT_MAP(ARGUMENT, __VA_ARGS__))
#define ARGUMENT(kind, ...) TV_RT_KIND(ARGUMENT_, kind)(__VA_ARGS__)
// One entry of the argument list: kind, access, name and up to five expressions.
#define ENTRY(...)                                                                                 \
    ,                                                                                              \
    {                                                                                              \
        __VA_ARGS__                                                                                \
    }
#define ARGUMENT_VAL(type, name) ENTRY("VAL", "IN", #name, "", "", "", "", "")
#define ARGUMENT_COUNT(type, name) ENTRY("COUNT", "IN", #name, "", "", "", "", "")
#define ARGUMENT_FLAG(name) ENTRY("FLAG", "IN", #name, "", "", "", "", "")
#define ARGUMENT_OUT(type, name) ENTRY("OUT", "OUT", #name, "", "", "", "", "")
#define ARGUMENT_INOUT(type, name) ENTRY("INOUT", "INOUT", #name, "", "", "", "", "")
#define ARGUMENT_REF(type, name) ENTRY("REF", "INOUT", #name, "", "", "", "", "")
#define ARGUMENT_KEPT(type, name) ENTRY("KEPT", "OUT", #name, "", "", "", "", "")
#define ARGUMENT_PROB(type, name, e) ENTRY("PROB", "OUT", #name, #e, "", "", "", "")
#define ARGUMENT_ARR(dir, type, name, base, n) ENTRY("ARR", #dir, #name, #base, #n, "", "", "")
#define ARGUMENT_MAT(dir, type, name, base, r, c) ENTRY("MAT", #dir, #name, #base, #r, #c, "", "")
#define ARGUMENT_TENSOR(dir, type, name, base, n1, n2, n3)                                         \
    ENTRY("TENSOR", #dir, #name, #base, #n1, #n2, #n3, "")
#define ARGUMENT_BASIS(name) ENTRY("BASIS", "IN", #name, "", "", "", "", "")
#define ARGUMENT_MODEL(name) ENTRY("MODEL", "IN", #name, "", "", "", "", "")
#define ARGUMENT_REQUIRE(condition, message)                                                       \
    ENTRY("REQUIRE", "", message, #condition, "", "", "", "")
#define ARGUMENT_SERIES(dir, type, name, width, count, length, series_stride, sample_stride)       \
    ENTRY("SERIES", #dir, #name, #width, #count, #length, #series_stride, #sample_stride)
#define ARGUMENT_DIM(type, name) ENTRY("DIM", "IN", #name, "", "", "", "", "")
#define ARGUMENT_THREADS(name) ENTRY("THREADS", "IN", #name, "", "", "", "", "")

int main()
{
    print_preamble();
#define TV_FAMILY(header, title) print_family(#header, title);
#define TV_FUNCTION(name, rtype, ...)                                                              \
    print_row(form::function, #name, "tv_status", TEXT(TV_C_PARAMS(__VA_ARGS__), rtype *result),   \
              {ARGUMENTS(__VA_ARGS__)});
#define TV_PROCEDURE(name, ...)                                                                    \
    print_row(form::procedure, #name, "tv_status", TEXT(TV_C_PARAMS(__VA_ARGS__)),                 \
              {ARGUMENTS(__VA_ARGS__)});
#define TV_RELEASE(name, ...)                                                                      \
    print_row(form::release, #name, "void", TEXT(TV_C_PARAMS(__VA_ARGS__)),                        \
              {ARGUMENTS(__VA_ARGS__)});
#define TV_CALLBACK(name, ...)                                                                     \
    print_row(form::callback, #name, "void", TEXT(TV_C_PARAMS(__VA_ARGS__)),                       \
              {ARGUMENTS(__VA_ARGS__)});
#define TV_BATCH(name, routine, ...)                                                               \
    print_row(form::batch, #name, "tv_status", TEXT(TV_C_PARAMS(__VA_ARGS__)),                     \
              {ARGUMENTS(__VA_ARGS__)}, #routine);
#include "routines.h"
    print_closing();
}
