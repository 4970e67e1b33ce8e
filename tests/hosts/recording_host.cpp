// See recording_host.h.
#include "recording_host.h"

#define RECORDING_HOST_API extern "C" __attribute__((visibility("default")))

namespace recording_host {
int version[3] = {2, 3, 0};
std::vector<std::string> calls;
std::vector<std::string> log;
std::vector<std::string> message_boxes;
}  // namespace recording_host

#ifdef RECORDING_HOST_VERSION
RECORDING_HOST_API void tkGetVersionOfLumarinTK(int *major, int *minor, int *subminor)
{
    recording_host::calls.push_back("tkGetVersionOfLumarinTK");
    *major = recording_host::version[0];
    *minor = recording_host::version[1];
    *subminor = recording_host::version[2];
}
#endif

#ifdef RECORDING_HOST_PLUGIN_FUNCTIONS
RECORDING_HOST_API void tkShowLogTab()
{
    recording_host::calls.push_back("tkShowLogTab");
}

RECORDING_HOST_API void tkLogText(const char *text)
{
    recording_host::calls.push_back("tkLogText");
    recording_host::log.push_back(text);
}

RECORDING_HOST_API void tkMessageBox(const char *text)
{
    recording_host::calls.push_back("tkMessageBox");
    recording_host::message_boxes.push_back(text);
}

RECORDING_HOST_API int tkGetStringParameter(char *, char *value)
{
    recording_host::calls.push_back("tkGetStringParameter");
    value[0] = '\0';
    return 0;
}

RECORDING_HOST_API void tkSetStringParameter(char *, char *)
{
    recording_host::calls.push_back("tkSetStringParameter");
}

RECORDING_HOST_API void tkSetIntParameter(char *, int)
{
    recording_host::calls.push_back("tkSetIntParameter");
}
#endif

#ifdef RECORDING_HOST_OPEN_FILE
RECORDING_HOST_API int tkGetOpenFileName(const char *, const char *, const char *, char *)
{
    recording_host::calls.push_back("tkGetOpenFileName");
    return 0;
}
#endif
