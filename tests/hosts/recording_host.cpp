// See recording_host.h.
#include "recording_host.h"

#define RECORDING_HOST_FUNCTION extern "C" RECORDING_HOST_API

#ifndef RECORDING_HOST_MODULE
namespace recording_host {
int version[3] = {2, 3, 0};
std::vector<std::string> calls;
std::vector<std::string> log;
std::vector<std::string> message_boxes;
}  // namespace recording_host
#endif

#ifdef RECORDING_HOST_EXPORTS_tkGetVersionOfLumarinTK
RECORDING_HOST_FUNCTION void tkGetVersionOfLumarinTK(int *major, int *minor, int *subminor)
{
    recording_host::calls.push_back("tkGetVersionOfLumarinTK");
    *major = recording_host::version[0];
    *minor = recording_host::version[1];
    *subminor = recording_host::version[2];
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkShowLogTab
RECORDING_HOST_FUNCTION void tkShowLogTab()
{
    recording_host::calls.push_back("tkShowLogTab");
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkLogText
RECORDING_HOST_FUNCTION void tkLogText(const char *text)
{
    recording_host::calls.push_back("tkLogText");
    recording_host::log.push_back(text);
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkMessageBox
RECORDING_HOST_FUNCTION void tkMessageBox(const char *text)
{
    recording_host::calls.push_back("tkMessageBox");
    recording_host::message_boxes.push_back(text);
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkGetOpenFileName
RECORDING_HOST_FUNCTION int tkGetOpenFileName(const char *, const char *, const char *, char *)
{
    recording_host::calls.push_back("tkGetOpenFileName");
    return 0;
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkGetStringParameter
RECORDING_HOST_FUNCTION int tkGetStringParameter(char *, char *value)
{
    recording_host::calls.push_back("tkGetStringParameter");
    value[0] = '\0';
    return 0;
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkSetStringParameter
RECORDING_HOST_FUNCTION void tkSetStringParameter(char *, char *)
{
    recording_host::calls.push_back("tkSetStringParameter");
}
#endif

#ifdef RECORDING_HOST_EXPORTS_tkSetIntParameter
RECORDING_HOST_FUNCTION void tkSetIntParameter(char *, int)
{
    recording_host::calls.push_back("tkSetIntParameter");
}
#endif
