#ifndef TESSIVANE_TEST_SUPPORT_FATAL_H
#define TESSIVANE_TEST_SUPPORT_FATAL_H

// Death-test helpers for the library's fatal exits.
//
// A routine that gives up through nrerror() leaves its scratch arrays behind on
// purpose (the process is ending). Under LeakSanitizer that would turn the
// child's exit status 1 into a leak report, so the dying child, and only it,
// switches leak checking off before running the statement.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace tv_test {

// Called inside the death-test child before the statement runs.
void mark_dying_child();

// The exact bytes nrerror() writes to stderr for a message.
std::string fatal_report(const std::string &message);

// A child's stderr without the notes a sanitizer runtime adds on its own
// (AddressSanitizer warns when it hands back a null pointer for a huge
// request); everything the library itself wrote is kept byte for byte.
std::string without_sanitizer_notes(const std::string &stderr_text);

}  // namespace tv_test

// The statement must end the process through nrerror(message): exit status 1
// and stderr exactly the three-line report.
#define TV_EXPECT_FATAL(statement, message)                                                        \
    EXPECT_EXIT(                                                                                   \
        {                                                                                          \
            ::tv_test::mark_dying_child();                                                         \
            statement;                                                                             \
        },                                                                                         \
        ::testing::ExitedWithCode(1),                                                              \
        ::testing::ResultOf(::tv_test::without_sanitizer_notes,                                    \
                            ::testing::Eq(::tv_test::fatal_report(message))))

// The statement must end the process with the given status and write nothing
// to stderr.
#define TV_EXPECT_EXIT_SILENT(statement, status)                                                   \
    EXPECT_EXIT(                                                                                   \
        {                                                                                          \
            ::tv_test::mark_dying_child();                                                         \
            statement;                                                                             \
        },                                                                                         \
        ::testing::ExitedWithCode(status), ::testing::Eq(std::string()))

#endif
