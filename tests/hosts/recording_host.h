// A minimal host for the plugin tests that need a host with only some of the
// plugin API: recording_host.cpp exports the functions the plugin calls,
//   tkGetVersionOfLumarinTK, tkShowLogTab, tkLogText, tkMessageBox,
//   tkGetOpenFileName (always cancels), tkGetStringParameter (always ""),
//   tkSetStringParameter, tkSetIntParameter,
// each only when compiled with RECORDING_HOST_EXPORTS_<function> defined, and
// nothing else. Every call is recorded by name.
//
// Compiled into a test program, it defines the recorded state below. Compiled
// with RECORDING_HOST_MODULE into a loadable module, it records into the state
// of the program that loads the module, which must export it.
#ifndef TESSIVANE_TESTS_RECORDING_HOST_H
#define TESSIVANE_TESTS_RECORDING_HOST_H

#include <string>
#include <vector>

#define RECORDING_HOST_API __attribute__((visibility("default")))

namespace recording_host {

// The version the host reports (default 2.3.0).
extern RECORDING_HOST_API int version[3];
// Every host function called, by name, in order.
extern RECORDING_HOST_API std::vector<std::string> calls;
// Texts written to the log and shown in message boxes.
extern RECORDING_HOST_API std::vector<std::string> log;
extern RECORDING_HOST_API std::vector<std::string> message_boxes;

}  // namespace recording_host

#endif
