#ifndef TESSIVANE_ERRORS_H
#define TESSIVANE_ERRORS_H

// What happens when a numerics routine meets a fatal condition.
//
// Every fatal condition of the library (allocation failure, a range or
// argument a routine refuses, a singular matrix, an iteration that does not
// converge) is reported through nrerror() with a fixed message. By default
// nrerror() writes three lines to stderr and ends the process with status 1.
// A thread can instead ask for a tessivane::numerics_error to be thrown:
//
//     tessivane::scoped_error_mode guard(tessivane::error_mode::throw_exception);
//     try { mrqmin(...); } catch (const tessivane::numerics_error &e) { e.what(); }
//
// When the exception leaves a routine, every scratch array that routine
// allocated has been released, and process-wide state is consistent (see the
// routine's comment in stat.h for what its caller's arrays then hold).
// Exceptions pass through the library's own frames only: a model callback
// written in C must not be between the throw and the catch.

#include <stdexcept>
#include <string>

#include "tessivane_export.h"

namespace tessivane {

// Thrown by nrerror() in throw mode; what() is exactly the message nrerror()
// was given (no banner lines).
class TV_API numerics_error : public std::runtime_error {
public:
    explicit numerics_error(const std::string &message);
    ~numerics_error() override;
};

enum class error_mode {
    exit_process,     // three lines on stderr, exit status 1 (the default)
    throw_exception,  // throw tessivane::numerics_error
};

// [thread-safe] The mode belongs to the calling thread; every thread starts in
// exit_process. Returns the mode that was in force before.
TV_API error_mode set_error_mode(error_mode mode);
TV_API error_mode get_error_mode();

// Sets the calling thread's mode for the lifetime of the guard and restores
// the previous one afterwards (also when an exception passes).
class scoped_error_mode {
public:
    explicit scoped_error_mode(error_mode mode)
        : previous_(set_error_mode(mode))
    {}
    ~scoped_error_mode() { set_error_mode(previous_); }
    scoped_error_mode(const scoped_error_mode &) = delete;
    scoped_error_mode &operator=(const scoped_error_mode &) = delete;

private:
    error_mode previous_;
};

// Called with the message on every fatal condition, on the thread that met it,
// before the mode's action (exit or throw). A handler may
//  - return (after logging the message, saving the user's work): the action of
//    the thread's mode follows;
//  - throw a C++ exception of its own: it leaves the routine as a
//    numerics_error would, with the same clean-up;
//  - end the process (exit, abort): the routine's scratch arrays are not
//    released first, the system takes them back with the process.
// A handler must never leave by longjmp: the jump skips the clean-up of every
// library frame it crosses, so scratch arrays and working copies stay
// allocated for good. (mrqmin notices a call that never returned and treats
// its fit as no fit in progress; nothing else can.) C callers that must
// survive a fatal condition use the C interface <tessivane/tessivane_c.h>,
// whose tv_ functions return a status code instead of ending the process.
typedef void (*error_handler)(const char *message);

// [thread-safe] One handler for the whole process (a host installs it once);
// null removes it. Returns the handler that was installed before.
TV_API error_handler set_error_handler(error_handler handler);

}  // namespace tessivane

#endif
