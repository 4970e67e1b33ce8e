// The simulated Lumarin TK host: the 150 functions of the plugin API.
//
// Every function is defined with C linkage and default visibility so that a
// plugin finds it with dlsym() on the running program. The functions a
// batch-processing plugin needs are simulated (version, log, message box,
// open-file dialog, parameter store); every other one records the call, writes
// "unexpected host call: <name>" to the host log and returns zero or null.
#define LMTK_HOST_IMPLEMENTATION
#include "LMTKPluginInterface.h"

#include "host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <type_traits>

#define TKHOST_API extern "C" __attribute__((visibility("default")))

namespace tkhost {

Value Value::of_text(const std::string &text)
{
    Value v;
    v.kind = Kind::Text;
    v.text = text;
    return v;
}

Value Value::of_int(int integer)
{
    Value v;
    v.kind = Kind::Int;
    v.integer = integer;
    return v;
}

Value Value::of_float(float real)
{
    Value v;
    v.kind = Kind::Float;
    v.real = real;
    return v;
}

std::string Value::as_text() const
{
    switch (kind) {
    case Kind::Int:
        return std::to_string(integer);
    case Kind::Float: {
        std::ostringstream s;
        s << real;
        return s.str();
    }
    case Kind::Text:
        break;
    }
    return text;
}

std::string Value::describe() const
{
    switch (kind) {
    case Kind::Int:
        return as_text() + " (int)";
    case Kind::Float:
        return as_text() + " (float)";
    case Kind::Text:
        break;
    }
    return "\"" + text + "\"";
}

bool Value::operator==(const Value &other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::Int:
        return integer == other.integer;
    case Kind::Float:
        return real == other.real;
    case Kind::Text:
        break;
    }
    return text == other.text;
}

DialogAnswer DialogAnswer::choose(const std::string &path)
{
    DialogAnswer a;
    a.chosen = true;
    a.path = path;
    return a;
}

DialogAnswer DialogAnswer::cancel()
{
    return DialogAnswer();
}

void Host::reset()
{
    *this = Host();
}

std::size_t Host::count(const std::string &function) const
{
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), function));
}

Host &host()
{
    static Host the_host;
    return the_host;
}

namespace {

std::string text_of(const char *text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// Host notes and log lines go to the log stream; flushing keeps them in order
// with message boxes and prompts on the other stream.
void note(const std::string &line)
{
    Host &h = host();
    if (h.log_stream != nullptr) {
        std::fprintf(h.log_stream, "%s\n", line.c_str());
        std::fflush(h.log_stream);
    }
}

void append_log(const std::string &text)
{
    host().log.push_back(text);
    note("[log] " + text);
}

// Copies text into a plugin's buffer of `capacity` bytes, cut to fit, always
// terminated. Returns false when the text had to be cut.
bool copy_out(const std::string &text, char *buffer, std::size_t capacity)
{
    std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n == text.size();
}

void record_write(const char *name, const Value &value)
{
    Host &h = host();
    std::string key = text_of(name);
    h.parameters[key] = value;
    h.writes.push_back(ParameterWrite{key, value});
}

const Value *find_parameter(const char *name)
{
    if (name == nullptr)
        return nullptr;
    auto it = host().parameters.find(name);
    return it != host().parameters.end() ? &it->second : nullptr;
}

// Asks on the terminal for the answer to an open-file dialog.
DialogAnswer ask_on_terminal(const DialogRequest &request)
{
    Host &h = host();
    if (h.log_stream != nullptr)
        std::fflush(h.log_stream);
    if (h.prompt_stream != nullptr) {
        std::fprintf(h.prompt_stream, "Open file: %s\n", request.title.c_str());
        if (!request.name.empty())
            std::fprintf(h.prompt_stream, "  proposed name: %s\n", request.name.c_str());
        std::fprintf(h.prompt_stream,
                     "  filter: %s\n  path (empty line cancels): ", request.filter.c_str());
        std::fflush(h.prompt_stream);
    }
    if (h.answer_stream == nullptr)
        return DialogAnswer::cancel();
    std::string line;
    int c;
    bool got_any = false;
    while ((c = std::fgetc(h.answer_stream)) != EOF) {
        got_any = true;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!got_any && h.prompt_stream != nullptr)
        std::fprintf(h.prompt_stream, "(end of input)\n");
    return line.empty() ? DialogAnswer::cancel() : DialogAnswer::choose(line);
}

// Records a call of a function the simulation does not cover and reports it.
template <class Result>
Result unexpected(const char *name)
{
    Host &h = host();
    h.calls.push_back(name);
    h.unexpected.push_back(name);
    append_log(std::string("unexpected host call: ") + name);
    return Result();
}

}  // namespace
}  // namespace tkhost

using tkhost::host;

// ---- Simulated functions ----

TKHOST_API void tkGetVersionOfLumarinTK(int *major, int *minor, int *subminor)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkGetVersionOfLumarinTK");
    if (major != nullptr)
        *major = h.version_major;
    if (minor != nullptr)
        *minor = h.version_minor;
    if (subminor != nullptr)
        *subminor = h.version_subminor;
}

TKHOST_API void tkShowLogPane()
{
    host().calls.push_back("tkShowLogPane");
    tkhost::note("[host] log pane shown");
}

TKHOST_API void tkShowLogTab()
{
    host().calls.push_back("tkShowLogTab");
    tkhost::note("[host] log tab brought to front");
}

TKHOST_API void tkLogText(const char *text)
{
    host().calls.push_back("tkLogText");
    tkhost::append_log(tkhost::text_of(text));
}

TKHOST_API void tkMessageBox(const char *text)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkMessageBox");
    h.message_boxes.push_back(tkhost::text_of(text));
    if (h.log_stream != nullptr)
        std::fflush(h.log_stream);
    if (h.message_stream != nullptr) {
        std::fprintf(h.message_stream, "[message box] %s\n", tkhost::text_of(text).c_str());
        std::fflush(h.message_stream);
    }
}

TKHOST_API int tkGetOpenFileName(const char *title, const char *name, const char *filter,
                                 char *path)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkGetOpenFileName");
    tkhost::DialogRequest request{tkhost::text_of(title), tkhost::text_of(name),
                                  tkhost::text_of(filter)};
    h.dialogs.push_back(request);
    if (h.open_file_override)
        return h.open_file_override(path);

    tkhost::DialogAnswer answer;
    if (!h.answers.empty()) {
        answer = h.answers.front();
        h.answers.pop_front();
    } else if (h.interactive) {
        answer = tkhost::ask_on_terminal(request);
    }

    std::string shown = "[dialog] \"" + request.title + "\"";
    if (!request.name.empty())
        shown += ", proposed name \"" + request.name + "\"";
    shown += ", filter \"" + request.filter + "\" -> ";
    if (!answer.chosen || path == nullptr) {
        tkhost::note(shown + "cancelled");
        return 0;
    }
    if (!tkhost::copy_out(answer.path, path, tkhost::kPathCapacity))
        tkhost::note("[host] chosen path cut to " + std::to_string(tkhost::kPathCapacity - 1) +
                     " bytes to fit the plugin's buffer");
    tkhost::note(shown + "\"" + std::string(path) + "\"");
    return 1;
}

TKHOST_API int tkGetStringParameter(char *name, char *value)
{
    tkhost::Host &h = host();
    h.calls.push_back("tkGetStringParameter");
    if (h.string_parameter_override)
        return h.string_parameter_override(name, value);
    if (value == nullptr)
        return 0;
    const tkhost::Value *found = tkhost::find_parameter(name);
    tkhost::copy_out(found != nullptr ? found->as_text() : std::string(), value,
                     tkhost::kTextParameterCapacity);
    return found != nullptr ? 1 : 0;
}

TKHOST_API int tkGetIntParameter(char *name)
{
    host().calls.push_back("tkGetIntParameter");
    const tkhost::Value *found = tkhost::find_parameter(name);
    if (found == nullptr)
        return 0;
    switch (found->kind) {
    case tkhost::Value::Kind::Int:
        return found->integer;
    case tkhost::Value::Kind::Float:
        return static_cast<int>(found->real);
    case tkhost::Value::Kind::Text:
        break;
    }
    return static_cast<int>(std::strtol(found->text.c_str(), nullptr, 10));
}

TKHOST_API float tkGetFloatParameter(char *name)
{
    host().calls.push_back("tkGetFloatParameter");
    const tkhost::Value *found = tkhost::find_parameter(name);
    if (found == nullptr)
        return 0.0f;
    switch (found->kind) {
    case tkhost::Value::Kind::Int:
        return static_cast<float>(found->integer);
    case tkhost::Value::Kind::Float:
        return found->real;
    case tkhost::Value::Kind::Text:
        break;
    }
    return std::strtof(found->text.c_str(), nullptr);
}

TKHOST_API void tkSetStringParameter(char *name, char *value)
{
    host().calls.push_back("tkSetStringParameter");
    tkhost::record_write(name, tkhost::Value::of_text(tkhost::text_of(value)));
}

TKHOST_API void tkSetIntParameter(char *name, int value)
{
    host().calls.push_back("tkSetIntParameter");
    tkhost::record_write(name, tkhost::Value::of_int(value));
}

TKHOST_API void tkSetFloatParameter(char *name, float value)
{
    host().calls.push_back("tkSetFloatParameter");
    tkhost::record_write(name, tkhost::Value::of_float(value));
}

// ---- Functions outside the simulation, in table order ----

using tkhost::unexpected;

TKHOST_API void tkGetLumarinTKPath(char *)
{
    unexpected<void>("tkGetLumarinTKPath");
}

TKHOST_API void tkGetPluginsPath(char *)
{
    unexpected<void>("tkGetPluginsPath");
}

TKHOST_API int tkYesNoMessageBox(const char *)
{
    return unexpected<int>("tkYesNoMessageBox");
}

TKHOST_API int tkGetIntegerInput(const char *, int, int, int)
{
    return unexpected<int>("tkGetIntegerInput");
}

TKHOST_API float tkGetFloatInput(const char *, float, float, float)
{
    return unexpected<float>("tkGetFloatInput");
}

TKHOST_API int tkGetTextInput(const char *, const char *, char *)
{
    return unexpected<int>("tkGetTextInput");
}

TKHOST_API int tkGetSaveFileName(const char *, const char *, const char *, char *)
{
    return unexpected<int>("tkGetSaveFileName");
}

TKHOST_API void tkUpdateActiveWindow()
{
    unexpected<void>("tkUpdateActiveWindow");
}

TKHOST_API void tkShowBusyCursor()
{
    unexpected<void>("tkShowBusyCursor");
}

TKHOST_API void tkStopBusyCursor()
{
    unexpected<void>("tkStopBusyCursor");
}

TKHOST_API int tkGetNumberOfDocsInWorkspace()
{
    return unexpected<int>("tkGetNumberOfDocsInWorkspace");
}

TKHOST_API int tkGetDocumentType(int)
{
    return unexpected<int>("tkGetDocumentType");
}

TKHOST_API char *tkGetDocumentTypeName(int)
{
    return unexpected<char *>("tkGetDocumentTypeName");
}

TKHOST_API int tkGetIDOfCurrentDocument()
{
    return unexpected<int>("tkGetIDOfCurrentDocument");
}

TKHOST_API void tkSetAsCurrentDocument(int)
{
    unexpected<void>("tkSetAsCurrentDocument");
}

TKHOST_API int tkCalculateIAMatrix(FMR_ScannerPosition_Header *, VMR_ScannerPosition_Header *,
                                   VMR_PastTransformations_Header *, float *, float *, float *,
                                   float *, float *, float *, float *, float *)
{
    return unexpected<int>("tkCalculateIAMatrix");
}

TKHOST_API int tkGetTRFParametersFromVolumeToolsDlg(float *, float *, float *, float *, float *,
                                                    float *, float *, float *, float *)
{
    return unexpected<int>("tkGetTRFParametersFromVolumeToolsDlg");
}

TKHOST_API int tkGetHeaderOfCurrentFMR(FMR_Header *)
{
    return unexpected<int>("tkGetHeaderOfCurrentFMR");
}

TKHOST_API int tkSetHeaderOfCurrentFMR(FMR_Header *)
{
    return unexpected<int>("tkSetHeaderOfCurrentFMR");
}

TKHOST_API float **tkGetSTCFloatDataOfCurrentFMR()
{
    return unexpected<float **>("tkGetSTCFloatDataOfCurrentFMR");
}

TKHOST_API short **tkGetSTCIntDataOfCurrentFMR()
{
    return unexpected<short **>("tkGetSTCIntDataOfCurrentFMR");
}

TKHOST_API short **tkGetSTCDataOfCurrentFMR()
{
    return unexpected<short **>("tkGetSTCDataOfCurrentFMR");
}

TKHOST_API int tkSaveFMR(const char *)
{
    return unexpected<int>("tkSaveFMR");
}

TKHOST_API int tkSaveFMRAndSTC(const char *, const char *)
{
    return unexpected<int>("tkSaveFMRAndSTC");
}

TKHOST_API unsigned int tkGetScannerPositionHeaderOfCurrentFMR(FMR_ScannerPosition_Header *)
{
    return unexpected<unsigned int>("tkGetScannerPositionHeaderOfCurrentFMR");
}

TKHOST_API unsigned int tkSetScannerPositionHeaderOfCurrentFMR(FMR_ScannerPosition_Header *)
{
    return unexpected<unsigned int>("tkSetScannerPositionHeaderOfCurrentFMR");
}

TKHOST_API int tkGetHeaderOfCurrentDMR(DMR_Header *)
{
    return unexpected<int>("tkGetHeaderOfCurrentDMR");
}

TKHOST_API int tkSetHeaderOfCurrentDMR(DMR_Header *)
{
    return unexpected<int>("tkSetHeaderOfCurrentDMR");
}

TKHOST_API float **tkGetDWIFloatDataOfCurrentDMR()
{
    return unexpected<float **>("tkGetDWIFloatDataOfCurrentDMR");
}

TKHOST_API short **tkGetDWIIntDataOfCurrentDMR()
{
    return unexpected<short **>("tkGetDWIIntDataOfCurrentDMR");
}

TKHOST_API short **tkGetDWIDataOfCurrentDMR()
{
    return unexpected<short **>("tkGetDWIDataOfCurrentDMR");
}

TKHOST_API int tkConvertDWIFormatOfCurrentDMR(int, int)
{
    return unexpected<int>("tkConvertDWIFormatOfCurrentDMR");
}

TKHOST_API int tkSaveDMR(const char *)
{
    return unexpected<int>("tkSaveDMR");
}

TKHOST_API int tkSaveDMRAndDWI(const char *, const char *)
{
    return unexpected<int>("tkSaveDMRAndDWI");
}

TKHOST_API unsigned char *tkGetCurrentVMR(int *, int *, int *)
{
    return unexpected<unsigned char *>("tkGetCurrentVMR");
}

TKHOST_API unsigned int tkGetMainHeaderOfCurrentVMR(VMR_Header *)
{
    return unexpected<unsigned int>("tkGetMainHeaderOfCurrentVMR");
}

TKHOST_API unsigned int tkSetMainHeaderOfCurrentVMR(VMR_Header *)
{
    return unexpected<unsigned int>("tkSetMainHeaderOfCurrentVMR");
}

TKHOST_API unsigned int tkGetScannerPositionHeaderOfCurrentVMR(VMR_ScannerPosition_Header *)
{
    return unexpected<unsigned int>("tkGetScannerPositionHeaderOfCurrentVMR");
}

TKHOST_API unsigned int tkSetScannerPositionHeaderOfCurrentVMR(VMR_ScannerPosition_Header *)
{
    return unexpected<unsigned int>("tkSetScannerPositionHeaderOfCurrentVMR");
}

TKHOST_API unsigned int tkGetPastTransformationsHeaderOfCurrentVMR(VMR_PastTransformations_Header *)
{
    return unexpected<unsigned int>("tkGetPastTransformationsHeaderOfCurrentVMR");
}

TKHOST_API unsigned int tkSetPastTransformationsHeaderOfCurrentVMR(VMR_PastTransformations_Header *)
{
    return unexpected<unsigned int>("tkSetPastTransformationsHeaderOfCurrentVMR");
}

TKHOST_API unsigned int tkReframeCurrentVMR(int, int, int)
{
    return unexpected<unsigned int>("tkReframeCurrentVMR");
}

TKHOST_API int tkGetCrossPositionOfCurrentVMR(int *, int *, int *)
{
    return unexpected<int>("tkGetCrossPositionOfCurrentVMR");
}

TKHOST_API float **tkGetNRVMPsOfCurrentVMR(NR_VMPs_Header *)
{
    return unexpected<float **>("tkGetNRVMPsOfCurrentVMR");
}

TKHOST_API float *tkGetNRVMPOfCurrentVMR(int, NR_VMP_Header *)
{
    return unexpected<float *>("tkGetNRVMPOfCurrentVMR");
}

TKHOST_API int tkSetNRVMPParametersOfCurrentVMR(int, NR_VMP_Header *)
{
    return unexpected<int>("tkSetNRVMPParametersOfCurrentVMR");
}

TKHOST_API int tkLoadNRVMPsToCurrentVMR(const char *)
{
    return unexpected<int>("tkLoadNRVMPsToCurrentVMR");
}

TKHOST_API void tkSaveNRVMPsOfCurrentVMR(const char *)
{
    unexpected<void>("tkSaveNRVMPsOfCurrentVMR");
}

TKHOST_API int tkCreateNRVMPsForCurrentVMR(int, int, int, NR_VMPs_Header *)
{
    return unexpected<int>("tkCreateNRVMPsForCurrentVMR");
}

TKHOST_API void tkDeleteNRVMPsOfCurrentVMR()
{
    unexpected<void>("tkDeleteNRVMPsOfCurrentVMR");
}

TKHOST_API int tkSetNRVMPsParamsDisplayRange(NR_VMPs_Header *)
{
    return unexpected<int>("tkSetNRVMPsParamsDisplayRange");
}

TKHOST_API float **tkGetARVMPsOfCurrentVMR(AR_VMPs_Header *)
{
    return unexpected<float **>("tkGetARVMPsOfCurrentVMR");
}

TKHOST_API float *tkGetARVMPOfCurrentVMR(int, AR_VMP_Header *)
{
    return unexpected<float *>("tkGetARVMPOfCurrentVMR");
}

TKHOST_API int tkSetARVMPParametersOfCurrentVMR(int, AR_VMP_Header *)
{
    return unexpected<int>("tkSetARVMPParametersOfCurrentVMR");
}

TKHOST_API int tkLoadARVMPsToCurrentVMR(const char *)
{
    return unexpected<int>("tkLoadARVMPsToCurrentVMR");
}

TKHOST_API void tkSaveARVMPsOfCurrentVMR(const char *)
{
    unexpected<void>("tkSaveARVMPsOfCurrentVMR");
}

TKHOST_API int tkCreateARVMPsForCurrentVMR(int, AR_VMPs_Header *)
{
    return unexpected<int>("tkCreateARVMPsForCurrentVMR");
}

TKHOST_API void tkDeleteARVMPsOfCurrentVMR()
{
    unexpected<void>("tkDeleteARVMPsOfCurrentVMR");
}

TKHOST_API int tkLinkVTCToCurrentVMR(const char *, int)
{
    return unexpected<int>("tkLinkVTCToCurrentVMR");
}

TKHOST_API int tkCreateVTCForCurrentVMR(int, VTC_Header *)
{
    return unexpected<int>("tkCreateVTCForCurrentVMR");
}

TKHOST_API int tkGetHeaderOfVTCOfCurrentVMR(VTC_Header *)
{
    return unexpected<int>("tkGetHeaderOfVTCOfCurrentVMR");
}

TKHOST_API int tkSetHeaderOfVTCOfCurrentVMR(VTC_Header *)
{
    return unexpected<int>("tkSetHeaderOfVTCOfCurrentVMR");
}

TKHOST_API short *tkGetVTCOfCurrentVMR(VTC_Header *)
{
    return unexpected<short *>("tkGetVTCOfCurrentVMR");
}

TKHOST_API float *tkGetVTCFloatDataOfCurrentVMR()
{
    return unexpected<float *>("tkGetVTCFloatDataOfCurrentVMR");
}

TKHOST_API short *tkGetVTCIntDataOfCurrentVMR()
{
    return unexpected<short *>("tkGetVTCIntDataOfCurrentVMR");
}

TKHOST_API int tkSetVTCParametersOfCurrentVMR(VTC_Header *)
{
    return unexpected<int>("tkSetVTCParametersOfCurrentVMR");
}

TKHOST_API void tkSaveVTCOfCurrentVMR(const char *)
{
    unexpected<void>("tkSaveVTCOfCurrentVMR");
}

TKHOST_API int tkClearMultiVTCAnalysis()
{
    return unexpected<int>("tkClearMultiVTCAnalysis");
}

TKHOST_API int tkAddVTCRefForMultiVTCAnalysis(const char *)
{
    return unexpected<int>("tkAddVTCRefForMultiVTCAnalysis");
}

TKHOST_API int tkGetVoxelTimeCourseOfVTC(int, int, float *)
{
    return unexpected<int>("tkGetVoxelTimeCourseOfVTC");
}

TKHOST_API int tkGetVoxelTimeCourseOfVTCs(int, float *)
{
    return unexpected<int>("tkGetVoxelTimeCourseOfVTCs");
}

TKHOST_API int tkGetVoxelCoordsTimeCourseOfVTC(int, int, int, int, float *)
{
    return unexpected<int>("tkGetVoxelCoordsTimeCourseOfVTC");
}

TKHOST_API int tkGetVoxelCoordsTimeCourseOfVTCs(int, int, int, float *)
{
    return unexpected<int>("tkGetVoxelCoordsTimeCourseOfVTCs");
}

TKHOST_API float *tkGetGLMOfCurrentVMR(GLM_Header *)
{
    return unexpected<float *>("tkGetGLMOfCurrentVMR");
}

TKHOST_API int tkLoadMaskToCurrentVMR(const char *)
{
    return unexpected<int>("tkLoadMaskToCurrentVMR");
}

TKHOST_API unsigned char *tkGetMaskOfCurrentVMR()
{
    return unexpected<unsigned char *>("tkGetMaskOfCurrentVMR");
}

TKHOST_API int tkGetScene(SCENE_Header *)
{
    return unexpected<int>("tkGetScene");
}

TKHOST_API int tkGetCurrentSRF(SRF_Header *)
{
    return unexpected<int>("tkGetCurrentSRF");
}

TKHOST_API void tkReleaseSRFAccess(SRF_Header *)
{
    unexpected<void>("tkReleaseSRFAccess");
}

TKHOST_API void tkSaveCurrentSRF(const char *)
{
    unexpected<void>("tkSaveCurrentSRF");
}

TKHOST_API int tkSetCurrentSRF(int)
{
    return unexpected<int>("tkSetCurrentSRF");
}

TKHOST_API int tkLinkMTCToCurrentSRF(const char *, int)
{
    return unexpected<int>("tkLinkMTCToCurrentSRF");
}

TKHOST_API float **tkGetMTCOfCurrentSRF(MTC_Header *)
{
    return unexpected<float **>("tkGetMTCOfCurrentSRF");
}

TKHOST_API int tkSetMTCParametersOfCurrentSRF(MTC_Header *)
{
    return unexpected<int>("tkSetMTCParametersOfCurrentSRF");
}

TKHOST_API int tkCreateMTCForCurrentSRF(int)
{
    return unexpected<int>("tkCreateMTCForCurrentSRF");
}

TKHOST_API void tkSaveMTCOfCurrentSRF(const char *)
{
    unexpected<void>("tkSaveMTCOfCurrentSRF");
}

TKHOST_API int tkClearMultiMTCRefsOfCurrentSRF()
{
    return unexpected<int>("tkClearMultiMTCRefsOfCurrentSRF");
}

TKHOST_API int tkAddMultiMTCRefToCurrentSRF(const char *)
{
    return unexpected<int>("tkAddMultiMTCRefToCurrentSRF");
}

TKHOST_API int tkGetVertexTimeCourseOfMTC(int, int, float *)
{
    return unexpected<int>("tkGetVertexTimeCourseOfMTC");
}

TKHOST_API int tkGetVertexTimeCourseOfAllMTCs(int, float *)
{
    return unexpected<int>("tkGetVertexTimeCourseOfAllMTCs");
}

TKHOST_API int tkGetSMPsOfCurrentSRF(SMPs_Header *)
{
    return unexpected<int>("tkGetSMPsOfCurrentSRF");
}

TKHOST_API float *tkGetSMPOfCurrentSRF(int, SMP_Header *)
{
    return unexpected<float *>("tkGetSMPOfCurrentSRF");
}

TKHOST_API int tkSetSMPParametersOfCurrentSRF(int, SMP_Header *)
{
    return unexpected<int>("tkSetSMPParametersOfCurrentSRF");
}

TKHOST_API int tkLoadSMPsToCurrentSRF(const char *)
{
    return unexpected<int>("tkLoadSMPsToCurrentSRF");
}

TKHOST_API void tkSaveSMPsOfCurrentSRF(const char *)
{
    unexpected<void>("tkSaveSMPsOfCurrentSRF");
}

TKHOST_API int tkCreateSMPForCurrentSRF()
{
    return unexpected<int>("tkCreateSMPForCurrentSRF");
}

TKHOST_API void tkDeleteSMPsOfCurrentSRF()
{
    unexpected<void>("tkDeleteSMPsOfCurrentSRF");
}

TKHOST_API void tkOverlaySMPsOnSRF()
{
    unexpected<void>("tkOverlaySMPsOnSRF");
}

TKHOST_API int *tkGetSSMOfCurrentSRF(SSM_Header *)
{
    return unexpected<int *>("tkGetSSMOfCurrentSRF");
}

TKHOST_API int tkLoadSSMToCurrentSRF(const char *)
{
    return unexpected<int>("tkLoadSSMToCurrentSRF");
}

TKHOST_API void tkSaveSSMOfCurrentSRF(const char *)
{
    unexpected<void>("tkSaveSSMOfCurrentSRF");
}

TKHOST_API int tkCreateSSMForCurrentSRF()
{
    return unexpected<int>("tkCreateSSMForCurrentSRF");
}

TKHOST_API void tkDeleteSSMOfCurrentSRF()
{
    unexpected<void>("tkDeleteSSMOfCurrentSRF");
}

TKHOST_API void tkClearProtocol()
{
    unexpected<void>("tkClearProtocol");
}

TKHOST_API int tkLoadProtocol(const char *)
{
    return unexpected<int>("tkLoadProtocol");
}

TKHOST_API int tkSaveProtocol(const char *)
{
    return unexpected<int>("tkSaveProtocol");
}

TKHOST_API int tkGetProtocol(Protocol_Header *)
{
    return unexpected<int>("tkGetProtocol");
}

TKHOST_API int tkSetProtocol(Protocol_Header *)
{
    return unexpected<int>("tkSetProtocol");
}

TKHOST_API int tkGetProtocolCondition(int, ProtocolCondition_Header *)
{
    return unexpected<int>("tkGetProtocolCondition");
}

TKHOST_API int tkAddProtocolCondition(ProtocolCondition_Header *)
{
    return unexpected<int>("tkAddProtocolCondition");
}

TKHOST_API int tkAddProtocolConditionInterval(int, int, int)
{
    return unexpected<int>("tkAddProtocolConditionInterval");
}

TKHOST_API int tkClearDesignMatrix()
{
    return unexpected<int>("tkClearDesignMatrix");
}

TKHOST_API int tkAddPredictor(const char *)
{
    return unexpected<int>("tkAddPredictor");
}

TKHOST_API int tkSetPredictorValuesFromCondition(const char *, int, float)
{
    return unexpected<int>("tkSetPredictorValuesFromCondition");
}

TKHOST_API int tkSetPredictorValuesFromConditionName(const char *, const char *, float)
{
    return unexpected<int>("tkSetPredictorValuesFromConditionName");
}

TKHOST_API int tkApplyTwoGammaHRFToPredictor(int)
{
    return unexpected<int>("tkApplyTwoGammaHRFToPredictor");
}

TKHOST_API int tkApplyTwoGammaHRFToPredictorWithName(const char *)
{
    return unexpected<int>("tkApplyTwoGammaHRFToPredictorWithName");
}

TKHOST_API int tkApplyBoyntonHRFToPredictor(int)
{
    return unexpected<int>("tkApplyBoyntonHRFToPredictor");
}

TKHOST_API int tkApplyBoyntonHRFToPredictorWithName(const char *)
{
    return unexpected<int>("tkApplyBoyntonHRFToPredictorWithName");
}

TKHOST_API float *tkGetPredictor(int)
{
    return unexpected<float *>("tkGetPredictor");
}

TKHOST_API float *tkGetPredictorByName(const char *)
{
    return unexpected<float *>("tkGetPredictorByName");
}

TKHOST_API int tkLoadSingleStudyGLMDesignMatrix(const char *)
{
    return unexpected<int>("tkLoadSingleStudyGLMDesignMatrix");
}

TKHOST_API int tkSaveSingleStudyGLMDesignMatrix(const char *)
{
    return unexpected<int>("tkSaveSingleStudyGLMDesignMatrix");
}

TKHOST_API int tkLoadVOIs(const char *)
{
    return unexpected<int>("tkLoadVOIs");
}

TKHOST_API int tkSaveVOIs(const char *)
{
    return unexpected<int>("tkSaveVOIs");
}

TKHOST_API int tkGetVOIs(VOIs_Header *)
{
    return unexpected<int>("tkGetVOIs");
}

TKHOST_API int *tkGetVOI(int, VOI_Header *)
{
    return unexpected<int *>("tkGetVOI");
}

TKHOST_API int tkLoadPOIs(const char *)
{
    return unexpected<int>("tkLoadPOIs");
}

TKHOST_API int tkSavePOIs(const char *)
{
    return unexpected<int>("tkSavePOIs");
}

TKHOST_API int tkGetPOIs(POIs_Header *)
{
    return unexpected<int>("tkGetPOIs");
}

TKHOST_API int *tkGetPOI(int, POI_Header *)
{
    return unexpected<int *>("tkGetPOI");
}

TKHOST_API int tkGetDlgStringParameter(int, const char *)
{
    return unexpected<int>("tkGetDlgStringParameter");
}

TKHOST_API int tkGetDlgIntegerParameter(int)
{
    return unexpected<int>("tkGetDlgIntegerParameter");
}

TKHOST_API float tkGetDlgFloatParameter(int)
{
    return unexpected<float>("tkGetDlgFloatParameter");
}

TKHOST_API void tkSetDlgStringOutputParameter(int, const char *)
{
    unexpected<void>("tkSetDlgStringOutputParameter");
}

TKHOST_API void tkSetDlgIntegerOutputParameter(int, int)
{
    unexpected<void>("tkSetDlgIntegerOutputParameter");
}

TKHOST_API void tkSetDlgFloatOutputParameter(int, float)
{
    unexpected<void>("tkSetDlgFloatOutputParameter");
}

TKHOST_API void tkLaunchICADialog()
{
    unexpected<void>("tkLaunchICADialog");
}

// Every definition above has exactly the type the plugin side expects.
static_assert(
    std::is_same<decltype(&tkGetVersionOfLumarinTK), GetVersionOfLumarinTKPrototype>::value,
    "tkGetVersionOfLumarinTK");
static_assert(std::is_same<decltype(&tkGetLumarinTKPath), GetLumarinTKPathPrototype>::value,
              "tkGetLumarinTKPath");
static_assert(std::is_same<decltype(&tkGetPluginsPath), GetPluginsPathPrototype>::value,
              "tkGetPluginsPath");
static_assert(std::is_same<decltype(&tkShowLogPane), ShowLogPanePrototype>::value, "tkShowLogPane");
static_assert(std::is_same<decltype(&tkShowLogTab), ShowLogTabPrototype>::value, "tkShowLogTab");
static_assert(std::is_same<decltype(&tkLogText), LogTextPrototype>::value, "tkLogText");
static_assert(std::is_same<decltype(&tkMessageBox), MessageBoxPrototype>::value, "tkMessageBox");
static_assert(std::is_same<decltype(&tkYesNoMessageBox), YesNoMessageBoxPrototype>::value,
              "tkYesNoMessageBox");
static_assert(std::is_same<decltype(&tkGetIntegerInput), GetIntegerInputPrototype>::value,
              "tkGetIntegerInput");
static_assert(std::is_same<decltype(&tkGetFloatInput), GetFloatInputPrototype>::value,
              "tkGetFloatInput");
static_assert(std::is_same<decltype(&tkGetTextInput), GetTextInputPrototype>::value,
              "tkGetTextInput");
static_assert(std::is_same<decltype(&tkGetOpenFileName), GetOpenFileNamePrototype>::value,
              "tkGetOpenFileName");
static_assert(std::is_same<decltype(&tkGetSaveFileName), GetSaveFileNamePrototype>::value,
              "tkGetSaveFileName");
static_assert(std::is_same<decltype(&tkUpdateActiveWindow), UpdateActiveWindowPrototype>::value,
              "tkUpdateActiveWindow");
static_assert(std::is_same<decltype(&tkShowBusyCursor), ShowBusyCursorPrototype>::value,
              "tkShowBusyCursor");
static_assert(std::is_same<decltype(&tkStopBusyCursor), StopBusyCursorPrototype>::value,
              "tkStopBusyCursor");
static_assert(std::is_same<decltype(&tkGetNumberOfDocsInWorkspace),
                           GetNumberOfDocsInWorkspacePrototype>::value,
              "tkGetNumberOfDocsInWorkspace");
static_assert(std::is_same<decltype(&tkGetDocumentType), GetDocumentTypePrototype>::value,
              "tkGetDocumentType");
static_assert(std::is_same<decltype(&tkGetDocumentTypeName), GetDocumentTypeNamePrototype>::value,
              "tkGetDocumentTypeName");
static_assert(
    std::is_same<decltype(&tkGetIDOfCurrentDocument), GetIDOfCurrentDocumentPrototype>::value,
    "tkGetIDOfCurrentDocument");
static_assert(std::is_same<decltype(&tkSetAsCurrentDocument), SetAsCurrentDocumentPrototype>::value,
              "tkSetAsCurrentDocument");
static_assert(std::is_same<decltype(&tkCalculateIAMatrix), CalculateIAMatrixPrototype>::value,
              "tkCalculateIAMatrix");
static_assert(std::is_same<decltype(&tkGetTRFParametersFromVolumeToolsDlg),
                           GetTRFParametersFromVolumeToolsDlgPrototype>::value,
              "tkGetTRFParametersFromVolumeToolsDlg");
static_assert(
    std::is_same<decltype(&tkGetHeaderOfCurrentFMR), GetHeaderOfCurrentFMRPrototype>::value,
    "tkGetHeaderOfCurrentFMR");
static_assert(
    std::is_same<decltype(&tkSetHeaderOfCurrentFMR), SetHeaderOfCurrentFMRPrototype>::value,
    "tkSetHeaderOfCurrentFMR");
static_assert(std::is_same<decltype(&tkGetSTCFloatDataOfCurrentFMR),
                           GetSTCFloatDataOfCurrentFMRPrototype>::value,
              "tkGetSTCFloatDataOfCurrentFMR");
static_assert(
    std::is_same<decltype(&tkGetSTCIntDataOfCurrentFMR), GetSTCIntDataOfCurrentFMRPrototype>::value,
    "tkGetSTCIntDataOfCurrentFMR");
static_assert(
    std::is_same<decltype(&tkGetSTCDataOfCurrentFMR), GetSTCDataOfCurrentFMRPrototype>::value,
    "tkGetSTCDataOfCurrentFMR");
static_assert(std::is_same<decltype(&tkSaveFMR), SaveFMRPrototype>::value, "tkSaveFMR");
static_assert(std::is_same<decltype(&tkSaveFMRAndSTC), SaveFMRAndSTCPrototype>::value,
              "tkSaveFMRAndSTC");
static_assert(std::is_same<decltype(&tkGetScannerPositionHeaderOfCurrentFMR),
                           GetScannerPositionHeaderOfCurrentFMRPrototype>::value,
              "tkGetScannerPositionHeaderOfCurrentFMR");
static_assert(std::is_same<decltype(&tkSetScannerPositionHeaderOfCurrentFMR),
                           SetScannerPositionHeaderOfCurrentFMRPrototype>::value,
              "tkSetScannerPositionHeaderOfCurrentFMR");
static_assert(
    std::is_same<decltype(&tkGetHeaderOfCurrentDMR), GetHeaderOfCurrentDMRPrototype>::value,
    "tkGetHeaderOfCurrentDMR");
static_assert(
    std::is_same<decltype(&tkSetHeaderOfCurrentDMR), SetHeaderOfCurrentDMRPrototype>::value,
    "tkSetHeaderOfCurrentDMR");
static_assert(std::is_same<decltype(&tkGetDWIFloatDataOfCurrentDMR),
                           GetDWIFloatDataOfCurrentDMRPrototype>::value,
              "tkGetDWIFloatDataOfCurrentDMR");
static_assert(
    std::is_same<decltype(&tkGetDWIIntDataOfCurrentDMR), GetDWIIntDataOfCurrentDMRPrototype>::value,
    "tkGetDWIIntDataOfCurrentDMR");
static_assert(
    std::is_same<decltype(&tkGetDWIDataOfCurrentDMR), GetDWIDataOfCurrentDMRPrototype>::value,
    "tkGetDWIDataOfCurrentDMR");
static_assert(std::is_same<decltype(&tkConvertDWIFormatOfCurrentDMR),
                           ConvertDWIFormatOfCurrentDMRPrototype>::value,
              "tkConvertDWIFormatOfCurrentDMR");
static_assert(std::is_same<decltype(&tkSaveDMR), SaveDMRPrototype>::value, "tkSaveDMR");
static_assert(std::is_same<decltype(&tkSaveDMRAndDWI), SaveDMRAndDWIPrototype>::value,
              "tkSaveDMRAndDWI");
static_assert(std::is_same<decltype(&tkGetCurrentVMR), GetCurrentVMRPrototype>::value,
              "tkGetCurrentVMR");
static_assert(
    std::is_same<decltype(&tkGetMainHeaderOfCurrentVMR), GetMainHeaderOfCurrentVMRPrototype>::value,
    "tkGetMainHeaderOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkSetMainHeaderOfCurrentVMR), SetMainHeaderOfCurrentVMRPrototype>::value,
    "tkSetMainHeaderOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetScannerPositionHeaderOfCurrentVMR),
                           GetScannerPositionHeaderOfCurrentVMRPrototype>::value,
              "tkGetScannerPositionHeaderOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetScannerPositionHeaderOfCurrentVMR),
                           SetScannerPositionHeaderOfCurrentVMRPrototype>::value,
              "tkSetScannerPositionHeaderOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetPastTransformationsHeaderOfCurrentVMR),
                           GetPastTransformationsHeaderOfCurrentVMRPrototype>::value,
              "tkGetPastTransformationsHeaderOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetPastTransformationsHeaderOfCurrentVMR),
                           SetPastTransformationsHeaderOfCurrentVMRPrototype>::value,
              "tkSetPastTransformationsHeaderOfCurrentVMR");
static_assert(std::is_same<decltype(&tkReframeCurrentVMR), ReframeCurrentVMRPrototype>::value,
              "tkReframeCurrentVMR");
static_assert(std::is_same<decltype(&tkGetCrossPositionOfCurrentVMR),
                           GetCrossPositionOfCurrentVMRPrototype>::value,
              "tkGetCrossPositionOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkGetNRVMPsOfCurrentVMR), GetNRVMPsOfCurrentVMRPrototype>::value,
    "tkGetNRVMPsOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetNRVMPOfCurrentVMR), GetNRVMPOfCurrentVMRPrototype>::value,
              "tkGetNRVMPOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetNRVMPParametersOfCurrentVMR),
                           SetNRVMPParametersOfCurrentVMRPrototype>::value,
              "tkSetNRVMPParametersOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkLoadNRVMPsToCurrentVMR), LoadNRVMPsToCurrentVMRPrototype>::value,
    "tkLoadNRVMPsToCurrentVMR");
static_assert(
    std::is_same<decltype(&tkSaveNRVMPsOfCurrentVMR), SaveNRVMPsOfCurrentVMRPrototype>::value,
    "tkSaveNRVMPsOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkCreateNRVMPsForCurrentVMR), CreateNRVMPsForCurrentVMRPrototype>::value,
    "tkCreateNRVMPsForCurrentVMR");
static_assert(
    std::is_same<decltype(&tkDeleteNRVMPsOfCurrentVMR), DeleteNRVMPsOfCurrentVMRPrototype>::value,
    "tkDeleteNRVMPsOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetNRVMPsParamsDisplayRange),
                           SetNRVMPsParamsDisplayRangePrototype>::value,
              "tkSetNRVMPsParamsDisplayRange");
static_assert(
    std::is_same<decltype(&tkGetARVMPsOfCurrentVMR), GetARVMPsOfCurrentVMRPrototype>::value,
    "tkGetARVMPsOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetARVMPOfCurrentVMR), GetARVMPOfCurrentVMRPrototype>::value,
              "tkGetARVMPOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetARVMPParametersOfCurrentVMR),
                           SetARVMPParametersOfCurrentVMRPrototype>::value,
              "tkSetARVMPParametersOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkLoadARVMPsToCurrentVMR), LoadARVMPsToCurrentVMRPrototype>::value,
    "tkLoadARVMPsToCurrentVMR");
static_assert(
    std::is_same<decltype(&tkSaveARVMPsOfCurrentVMR), SaveARVMPsOfCurrentVMRPrototype>::value,
    "tkSaveARVMPsOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkCreateARVMPsForCurrentVMR), CreateARVMPsForCurrentVMRPrototype>::value,
    "tkCreateARVMPsForCurrentVMR");
static_assert(
    std::is_same<decltype(&tkDeleteARVMPsOfCurrentVMR), DeleteARVMPsOfCurrentVMRPrototype>::value,
    "tkDeleteARVMPsOfCurrentVMR");
static_assert(std::is_same<decltype(&tkLinkVTCToCurrentVMR), LinkVTCToCurrentVMRPrototype>::value,
              "tkLinkVTCToCurrentVMR");
static_assert(
    std::is_same<decltype(&tkCreateVTCForCurrentVMR), CreateVTCForCurrentVMRPrototype>::value,
    "tkCreateVTCForCurrentVMR");
static_assert(std::is_same<decltype(&tkGetHeaderOfVTCOfCurrentVMR),
                           GetHeaderOfVTCOfCurrentVMRPrototype>::value,
              "tkGetHeaderOfVTCOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetHeaderOfVTCOfCurrentVMR),
                           SetHeaderOfVTCOfCurrentVMRPrototype>::value,
              "tkSetHeaderOfVTCOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetVTCOfCurrentVMR), GetVTCOfCurrentVMRPrototype>::value,
              "tkGetVTCOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetVTCFloatDataOfCurrentVMR),
                           GetVTCFloatDataOfCurrentVMRPrototype>::value,
              "tkGetVTCFloatDataOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkGetVTCIntDataOfCurrentVMR), GetVTCIntDataOfCurrentVMRPrototype>::value,
    "tkGetVTCIntDataOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSetVTCParametersOfCurrentVMR),
                           SetVTCParametersOfCurrentVMRPrototype>::value,
              "tkSetVTCParametersOfCurrentVMR");
static_assert(std::is_same<decltype(&tkSaveVTCOfCurrentVMR), SaveVTCOfCurrentVMRPrototype>::value,
              "tkSaveVTCOfCurrentVMR");
static_assert(
    std::is_same<decltype(&tkClearMultiVTCAnalysis), ClearMultiVTCAnalysisPrototype>::value,
    "tkClearMultiVTCAnalysis");
static_assert(std::is_same<decltype(&tkAddVTCRefForMultiVTCAnalysis),
                           AddVTCRefForMultiVTCAnalysisPrototype>::value,
              "tkAddVTCRefForMultiVTCAnalysis");
static_assert(
    std::is_same<decltype(&tkGetVoxelTimeCourseOfVTC), GetVoxelTimeCourseOfVTCPrototype>::value,
    "tkGetVoxelTimeCourseOfVTC");
static_assert(
    std::is_same<decltype(&tkGetVoxelTimeCourseOfVTCs), GetVoxelTimeCourseOfVTCsPrototype>::value,
    "tkGetVoxelTimeCourseOfVTCs");
static_assert(std::is_same<decltype(&tkGetVoxelCoordsTimeCourseOfVTC),
                           GetVoxelCoordsTimeCourseOfVTCPrototype>::value,
              "tkGetVoxelCoordsTimeCourseOfVTC");
static_assert(std::is_same<decltype(&tkGetVoxelCoordsTimeCourseOfVTCs),
                           GetVoxelCoordsTimeCourseOfVTCsPrototype>::value,
              "tkGetVoxelCoordsTimeCourseOfVTCs");
static_assert(std::is_same<decltype(&tkGetGLMOfCurrentVMR), GetGLMOfCurrentVMRPrototype>::value,
              "tkGetGLMOfCurrentVMR");
static_assert(std::is_same<decltype(&tkLoadMaskToCurrentVMR), LoadMaskToCurrentVMRPrototype>::value,
              "tkLoadMaskToCurrentVMR");
static_assert(std::is_same<decltype(&tkGetMaskOfCurrentVMR), GetMaskOfCurrentVMRPrototype>::value,
              "tkGetMaskOfCurrentVMR");
static_assert(std::is_same<decltype(&tkGetScene), GetScenePrototype>::value, "tkGetScene");
static_assert(std::is_same<decltype(&tkGetCurrentSRF), GetCurrentSRFPrototype>::value,
              "tkGetCurrentSRF");
static_assert(std::is_same<decltype(&tkReleaseSRFAccess), ReleaseSRFAccessPrototype>::value,
              "tkReleaseSRFAccess");
static_assert(std::is_same<decltype(&tkSaveCurrentSRF), SaveCurrentSRFPrototype>::value,
              "tkSaveCurrentSRF");
static_assert(std::is_same<decltype(&tkSetCurrentSRF), SetCurrentSRFPrototype>::value,
              "tkSetCurrentSRF");
static_assert(std::is_same<decltype(&tkLinkMTCToCurrentSRF), LinkMTCToCurrentSRFPrototype>::value,
              "tkLinkMTCToCurrentSRF");
static_assert(std::is_same<decltype(&tkGetMTCOfCurrentSRF), GetMTCOfCurrentSRFPrototype>::value,
              "tkGetMTCOfCurrentSRF");
static_assert(std::is_same<decltype(&tkSetMTCParametersOfCurrentSRF),
                           SetMTCParametersOfCurrentSRFPrototype>::value,
              "tkSetMTCParametersOfCurrentSRF");
static_assert(
    std::is_same<decltype(&tkCreateMTCForCurrentSRF), CreateMTCForCurrentSRFPrototype>::value,
    "tkCreateMTCForCurrentSRF");
static_assert(std::is_same<decltype(&tkSaveMTCOfCurrentSRF), SaveMTCOfCurrentSRFPrototype>::value,
              "tkSaveMTCOfCurrentSRF");
static_assert(std::is_same<decltype(&tkClearMultiMTCRefsOfCurrentSRF),
                           ClearMultiMTCRefsOfCurrentSRFPrototype>::value,
              "tkClearMultiMTCRefsOfCurrentSRF");
static_assert(std::is_same<decltype(&tkAddMultiMTCRefToCurrentSRF),
                           AddMultiMTCRefToCurrentSRFPrototype>::value,
              "tkAddMultiMTCRefToCurrentSRF");
static_assert(
    std::is_same<decltype(&tkGetVertexTimeCourseOfMTC), GetVertexTimeCourseOfMTCPrototype>::value,
    "tkGetVertexTimeCourseOfMTC");
static_assert(std::is_same<decltype(&tkGetVertexTimeCourseOfAllMTCs),
                           GetVertexTimeCourseOfAllMTCsPrototype>::value,
              "tkGetVertexTimeCourseOfAllMTCs");
static_assert(std::is_same<decltype(&tkGetSMPsOfCurrentSRF), GetSMPsOfCurrentSRFPrototype>::value,
              "tkGetSMPsOfCurrentSRF");
static_assert(std::is_same<decltype(&tkGetSMPOfCurrentSRF), GetSMPOfCurrentSRFPrototype>::value,
              "tkGetSMPOfCurrentSRF");
static_assert(std::is_same<decltype(&tkSetSMPParametersOfCurrentSRF),
                           SetSMPParametersOfCurrentSRFPrototype>::value,
              "tkSetSMPParametersOfCurrentSRF");
static_assert(std::is_same<decltype(&tkLoadSMPsToCurrentSRF), LoadSMPsToCurrentSRFPrototype>::value,
              "tkLoadSMPsToCurrentSRF");
static_assert(std::is_same<decltype(&tkSaveSMPsOfCurrentSRF), SaveSMPsOfCurrentSRFPrototype>::value,
              "tkSaveSMPsOfCurrentSRF");
static_assert(
    std::is_same<decltype(&tkCreateSMPForCurrentSRF), CreateSMPForCurrentSRFPrototype>::value,
    "tkCreateSMPForCurrentSRF");
static_assert(
    std::is_same<decltype(&tkDeleteSMPsOfCurrentSRF), DeleteSMPsOfCurrentSRFPrototype>::value,
    "tkDeleteSMPsOfCurrentSRF");
static_assert(std::is_same<decltype(&tkOverlaySMPsOnSRF), OverlaySMPsOnSRFPrototype>::value,
              "tkOverlaySMPsOnSRF");
static_assert(std::is_same<decltype(&tkGetSSMOfCurrentSRF), GetSSMOfCurrentSRFPrototype>::value,
              "tkGetSSMOfCurrentSRF");
static_assert(std::is_same<decltype(&tkLoadSSMToCurrentSRF), LoadSSMToCurrentSRFPrototype>::value,
              "tkLoadSSMToCurrentSRF");
static_assert(std::is_same<decltype(&tkSaveSSMOfCurrentSRF), SaveSSMOfCurrentSRFPrototype>::value,
              "tkSaveSSMOfCurrentSRF");
static_assert(
    std::is_same<decltype(&tkCreateSSMForCurrentSRF), CreateSSMForCurrentSRFPrototype>::value,
    "tkCreateSSMForCurrentSRF");
static_assert(
    std::is_same<decltype(&tkDeleteSSMOfCurrentSRF), DeleteSSMOfCurrentSRFPrototype>::value,
    "tkDeleteSSMOfCurrentSRF");
static_assert(std::is_same<decltype(&tkClearProtocol), ClearProtocolPrototype>::value,
              "tkClearProtocol");
static_assert(std::is_same<decltype(&tkLoadProtocol), LoadProtocolPrototype>::value,
              "tkLoadProtocol");
static_assert(std::is_same<decltype(&tkSaveProtocol), SaveProtocolPrototype>::value,
              "tkSaveProtocol");
static_assert(std::is_same<decltype(&tkGetProtocol), GetProtocolPrototype>::value, "tkGetProtocol");
static_assert(std::is_same<decltype(&tkSetProtocol), SetProtocolPrototype>::value, "tkSetProtocol");
static_assert(std::is_same<decltype(&tkGetProtocolCondition), GetProtocolConditionPrototype>::value,
              "tkGetProtocolCondition");
static_assert(std::is_same<decltype(&tkAddProtocolCondition), AddProtocolConditionPrototype>::value,
              "tkAddProtocolCondition");
static_assert(std::is_same<decltype(&tkAddProtocolConditionInterval),
                           AddProtocolConditionIntervalPrototype>::value,
              "tkAddProtocolConditionInterval");
static_assert(std::is_same<decltype(&tkClearDesignMatrix), ClearDesignMatrixPrototype>::value,
              "tkClearDesignMatrix");
static_assert(std::is_same<decltype(&tkAddPredictor), AddPredictorPrototype>::value,
              "tkAddPredictor");
static_assert(std::is_same<decltype(&tkSetPredictorValuesFromCondition),
                           SetPredictorValuesFromConditionPrototype>::value,
              "tkSetPredictorValuesFromCondition");
static_assert(std::is_same<decltype(&tkSetPredictorValuesFromConditionName),
                           SetPredictorValuesFromConditionNamePrototype>::value,
              "tkSetPredictorValuesFromConditionName");
static_assert(std::is_same<decltype(&tkApplyTwoGammaHRFToPredictor),
                           ApplyTwoGammaHRFToPredictorPrototype>::value,
              "tkApplyTwoGammaHRFToPredictor");
static_assert(std::is_same<decltype(&tkApplyTwoGammaHRFToPredictorWithName),
                           ApplyTwoGammaHRFToPredictorWithNamePrototype>::value,
              "tkApplyTwoGammaHRFToPredictorWithName");
static_assert(std::is_same<decltype(&tkApplyBoyntonHRFToPredictor),
                           ApplyBoyntonHRFToPredictorPrototype>::value,
              "tkApplyBoyntonHRFToPredictor");
static_assert(std::is_same<decltype(&tkApplyBoyntonHRFToPredictorWithName),
                           ApplyBoyntonHRFToPredictorWithNamePrototype>::value,
              "tkApplyBoyntonHRFToPredictorWithName");
static_assert(std::is_same<decltype(&tkGetPredictor), GetPredictorPrototype>::value,
              "tkGetPredictor");
static_assert(std::is_same<decltype(&tkGetPredictorByName), GetPredictorByNamePrototype>::value,
              "tkGetPredictorByName");
static_assert(std::is_same<decltype(&tkLoadSingleStudyGLMDesignMatrix),
                           LoadSingleStudyGLMDesignMatrixPrototype>::value,
              "tkLoadSingleStudyGLMDesignMatrix");
static_assert(std::is_same<decltype(&tkSaveSingleStudyGLMDesignMatrix),
                           SaveSingleStudyGLMDesignMatrixPrototype>::value,
              "tkSaveSingleStudyGLMDesignMatrix");
static_assert(std::is_same<decltype(&tkLoadVOIs), LoadVOIsPrototype>::value, "tkLoadVOIs");
static_assert(std::is_same<decltype(&tkSaveVOIs), SaveVOIsPrototype>::value, "tkSaveVOIs");
static_assert(std::is_same<decltype(&tkGetVOIs), GetVOIsPrototype>::value, "tkGetVOIs");
static_assert(std::is_same<decltype(&tkGetVOI), GetVOIPrototype>::value, "tkGetVOI");
static_assert(std::is_same<decltype(&tkLoadPOIs), LoadPOIsPrototype>::value, "tkLoadPOIs");
static_assert(std::is_same<decltype(&tkSavePOIs), SavePOIsPrototype>::value, "tkSavePOIs");
static_assert(std::is_same<decltype(&tkGetPOIs), GetPOIsPrototype>::value, "tkGetPOIs");
static_assert(std::is_same<decltype(&tkGetPOI), GetPOIPrototype>::value, "tkGetPOI");
static_assert(std::is_same<decltype(&tkGetStringParameter), GetStringParameterPrototype>::value,
              "tkGetStringParameter");
static_assert(std::is_same<decltype(&tkGetIntParameter), GetIntParameterPrototype>::value,
              "tkGetIntParameter");
static_assert(std::is_same<decltype(&tkGetFloatParameter), GetFloatParameterPrototype>::value,
              "tkGetFloatParameter");
static_assert(std::is_same<decltype(&tkSetStringParameter), SetStringParameterPrototype>::value,
              "tkSetStringParameter");
static_assert(std::is_same<decltype(&tkSetIntParameter), SetIntParameterPrototype>::value,
              "tkSetIntParameter");
static_assert(std::is_same<decltype(&tkSetFloatParameter), SetFloatParameterPrototype>::value,
              "tkSetFloatParameter");
static_assert(
    std::is_same<decltype(&tkGetDlgStringParameter), GetDlgStringParameterPrototype>::value,
    "tkGetDlgStringParameter");
static_assert(
    std::is_same<decltype(&tkGetDlgIntegerParameter), GetDlgIntegerParameterPrototype>::value,
    "tkGetDlgIntegerParameter");
static_assert(std::is_same<decltype(&tkGetDlgFloatParameter), GetDlgFloatParameterPrototype>::value,
              "tkGetDlgFloatParameter");
static_assert(std::is_same<decltype(&tkSetDlgStringOutputParameter),
                           SetDlgStringOutputParameterPrototype>::value,
              "tkSetDlgStringOutputParameter");
static_assert(std::is_same<decltype(&tkSetDlgIntegerOutputParameter),
                           SetDlgIntegerOutputParameterPrototype>::value,
              "tkSetDlgIntegerOutputParameter");
static_assert(std::is_same<decltype(&tkSetDlgFloatOutputParameter),
                           SetDlgFloatOutputParameterPrototype>::value,
              "tkSetDlgFloatOutputParameter");
static_assert(std::is_same<decltype(&tkLaunchICADialog), LaunchICADialogPrototype>::value,
              "tkLaunchICADialog");
