// A minimal host for the plugin tests that need a host with only some of the
// plugin API. recording_host.cpp exports, depending on how it is compiled:
//   RECORDING_HOST_VERSION           tkGetVersionOfLumarinTK
//   RECORDING_HOST_PLUGIN_FUNCTIONS  tkShowLogTab, tkLogText, tkMessageBox,
//                                    tkGetStringParameter, tkSetStringParameter,
//                                    tkSetIntParameter
//   RECORDING_HOST_OPEN_FILE         tkGetOpenFileName (always cancels)
// and nothing else. Every call is recorded by name.
#ifndef TESSIVANE_TESTS_RECORDING_HOST_H
#define TESSIVANE_TESTS_RECORDING_HOST_H

#include <string>
#include <vector>

namespace recording_host {

// The version the host reports (default 2.3.0).
extern int version[3];
// Every host function called, by name, in order.
extern std::vector<std::string> calls;
// Texts written to the log and shown in message boxes.
extern std::vector<std::string> log;
extern std::vector<std::string> message_boxes;

}  // namespace recording_host

#endif
