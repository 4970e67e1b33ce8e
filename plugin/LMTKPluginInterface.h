// The plugin side of the Lumarin TK plugin API.
//
// A plugin reaches every service of its host through a table of 150 function
// pointers that it fills at initialisation by looking the host's exported
// functions up by name in the running host process; nothing is linked against
// the host. Each pointer bears the name of the host symbol it is resolved from
// (tkLogText) and has the type named after the function without the "tk" prefix
// and with "Prototype" appended (LogTextPrototype).
//
// The table has internal linkage: every translation unit that includes this
// header owns a table of its own, all null until InitTKAccess() fills it. A
// plugin includes this header in the one unit that talks to the host.
//
// A host, or a host simulator, that defines these functions itself includes the
// header with LMTK_HOST_IMPLEMENTATION defined. It then gets the function types,
// the records and the plugin interface, but no table, whose names would clash
// with its own functions.
//
// [host thread only: the table is written by InitTKAccess() and read afterwards,
// without locking]
#ifndef TESSIVANE_LMTK_PLUGIN_INTERFACE_H
#define TESSIVANE_LMTK_PLUGIN_INTERFACE_H

#include <dlfcn.h>

#include "Plugin_FMR_Header.h"
#include "Plugin_DMR_Header.h"
#include "Plugin_VMR_Header.h"
#include "Plugin_VTC_Header.h"
#include "Plugin_NR_VMP_Header.h"
#include "Plugin_AR_VMP_Header.h"
#include "Plugin_PRT_Header.h"
#include "Plugin_VOI_Header.h"
#include "Plugin_GLM_Header.h"
#include "Plugin_SRF_Header.h"
#include "Plugin_MTC_Header.h"
#include "Plugin_SMP_Header.h"
#include "Plugin_SSM_Header.h"
#include "Plugin_POI_Header.h"

// ---- Plugin interface ----

// The object a plugin hands to the host (see createPlugin). The order of the
// virtual operations is part of the binary interface with the host: destructor,
// execute, initPlugin.
class LMTKPluginInterface {
public:
    LMTKPluginInterface() {}
    virtual ~LMTKPluginInterface() {}
    // Serves one request of the plugin's GUI script. The host calls it only
    // after initPlugin() returned true.
    virtual bool execute() = 0;
    // Called once after creation. True means the plugin may run.
    virtual bool initPlugin() = 0;
};

// ---- Host function types, in table order (entry numbers in parentheses) ----

// Application, log, message and input dialogs, file dialogs, window and cursor, workspace documents
// (1-21)
using GetVersionOfLumarinTKPrototype = void (*)(int *, int *, int *);
using GetLumarinTKPathPrototype = void (*)(char *);
using GetPluginsPathPrototype = void (*)(char *);
using ShowLogPanePrototype = void (*)();
using ShowLogTabPrototype = void (*)();
using LogTextPrototype = void (*)(const char *);
using MessageBoxPrototype = void (*)(const char *);
using YesNoMessageBoxPrototype = int (*)(const char *);
using GetIntegerInputPrototype = int (*)(const char *, int, int, int);
using GetFloatInputPrototype = float (*)(const char *, float, float, float);
using GetTextInputPrototype = int (*)(const char *, const char *, char *);
using GetOpenFileNamePrototype = int (*)(const char *, const char *, const char *, char *);
using GetSaveFileNamePrototype = int (*)(const char *, const char *, const char *, char *);
using UpdateActiveWindowPrototype = void (*)();
using ShowBusyCursorPrototype = void (*)();
using StopBusyCursorPrototype = void (*)();
using GetNumberOfDocsInWorkspacePrototype = int (*)();
using GetDocumentTypePrototype = int (*)(int);
using GetDocumentTypeNamePrototype = char *(*)(int);
using GetIDOfCurrentDocumentPrototype = int (*)();
using SetAsCurrentDocumentPrototype = void (*)(int);

// Alignment calculations (22-23)
using CalculateIAMatrixPrototype = int (*)(FMR_ScannerPosition_Header *,
                                           VMR_ScannerPosition_Header *,
                                           VMR_PastTransformations_Header *, float *, float *,
                                           float *, float *, float *, float *, float *, float *);
using GetTRFParametersFromVolumeToolsDlgPrototype = int (*)(float *, float *, float *, float *,
                                                            float *, float *, float *, float *,
                                                            float *);

// Functional project (FMR) of the current document (24-32)
using GetHeaderOfCurrentFMRPrototype = int (*)(FMR_Header *);
using SetHeaderOfCurrentFMRPrototype = int (*)(FMR_Header *);
using GetSTCFloatDataOfCurrentFMRPrototype = float **(*)();
using GetSTCIntDataOfCurrentFMRPrototype = short **(*)();
using GetSTCDataOfCurrentFMRPrototype = short **(*)();
using SaveFMRPrototype = int (*)(const char *);
using SaveFMRAndSTCPrototype = int (*)(const char *, const char *);
using GetScannerPositionHeaderOfCurrentFMRPrototype =
    unsigned int (*)(FMR_ScannerPosition_Header *);
using SetScannerPositionHeaderOfCurrentFMRPrototype =
    unsigned int (*)(FMR_ScannerPosition_Header *);

// Diffusion project (DMR) of the current document (33-40)
using GetHeaderOfCurrentDMRPrototype = int (*)(DMR_Header *);
using SetHeaderOfCurrentDMRPrototype = int (*)(DMR_Header *);
using GetDWIFloatDataOfCurrentDMRPrototype = float **(*)();
using GetDWIIntDataOfCurrentDMRPrototype = short **(*)();
using GetDWIDataOfCurrentDMRPrototype = short **(*)();
using ConvertDWIFormatOfCurrentDMRPrototype = int (*)(int, int);
using SaveDMRPrototype = int (*)(const char *);
using SaveDMRAndDWIPrototype = int (*)(const char *, const char *);

// Anatomical volume (VMR) of the current document (41-49)
using GetCurrentVMRPrototype = unsigned char *(*)(int *, int *, int *);
using GetMainHeaderOfCurrentVMRPrototype = unsigned int (*)(VMR_Header *);
using SetMainHeaderOfCurrentVMRPrototype = unsigned int (*)(VMR_Header *);
using GetScannerPositionHeaderOfCurrentVMRPrototype =
    unsigned int (*)(VMR_ScannerPosition_Header *);
using SetScannerPositionHeaderOfCurrentVMRPrototype =
    unsigned int (*)(VMR_ScannerPosition_Header *);
using GetPastTransformationsHeaderOfCurrentVMRPrototype =
    unsigned int (*)(VMR_PastTransformations_Header *);
using SetPastTransformationsHeaderOfCurrentVMRPrototype =
    unsigned int (*)(VMR_PastTransformations_Header *);
using ReframeCurrentVMRPrototype = unsigned int (*)(int, int, int);
using GetCrossPositionOfCurrentVMRPrototype = int (*)(int *, int *, int *);

// Volume maps of the current VMR (NR and AR families) (50-64)
using GetNRVMPsOfCurrentVMRPrototype = float **(*)(NR_VMPs_Header *);
using GetNRVMPOfCurrentVMRPrototype = float *(*)(int, NR_VMP_Header *);
using SetNRVMPParametersOfCurrentVMRPrototype = int (*)(int, NR_VMP_Header *);
using LoadNRVMPsToCurrentVMRPrototype = int (*)(const char *);
using SaveNRVMPsOfCurrentVMRPrototype = void (*)(const char *);
using CreateNRVMPsForCurrentVMRPrototype = int (*)(int, int, int, NR_VMPs_Header *);
using DeleteNRVMPsOfCurrentVMRPrototype = void (*)();
using SetNRVMPsParamsDisplayRangePrototype = int (*)(NR_VMPs_Header *);
using GetARVMPsOfCurrentVMRPrototype = float **(*)(AR_VMPs_Header *);
using GetARVMPOfCurrentVMRPrototype = float *(*)(int, AR_VMP_Header *);
using SetARVMPParametersOfCurrentVMRPrototype = int (*)(int, AR_VMP_Header *);
using LoadARVMPsToCurrentVMRPrototype = int (*)(const char *);
using SaveARVMPsOfCurrentVMRPrototype = void (*)(const char *);
using CreateARVMPsForCurrentVMRPrototype = int (*)(int, AR_VMPs_Header *);
using DeleteARVMPsOfCurrentVMRPrototype = void (*)();

// Volume time courses (VTC), multi-VTC analysis, voxel time courses, GLM, mask (65-82)
using LinkVTCToCurrentVMRPrototype = int (*)(const char *, int);
using CreateVTCForCurrentVMRPrototype = int (*)(int, VTC_Header *);
using GetHeaderOfVTCOfCurrentVMRPrototype = int (*)(VTC_Header *);
using SetHeaderOfVTCOfCurrentVMRPrototype = int (*)(VTC_Header *);
using GetVTCOfCurrentVMRPrototype = short *(*)(VTC_Header *);
using GetVTCFloatDataOfCurrentVMRPrototype = float *(*)();
using GetVTCIntDataOfCurrentVMRPrototype = short *(*)();
using SetVTCParametersOfCurrentVMRPrototype = int (*)(VTC_Header *);
using SaveVTCOfCurrentVMRPrototype = void (*)(const char *);
using ClearMultiVTCAnalysisPrototype = int (*)();
using AddVTCRefForMultiVTCAnalysisPrototype = int (*)(const char *);
using GetVoxelTimeCourseOfVTCPrototype = int (*)(int, int, float *);
using GetVoxelTimeCourseOfVTCsPrototype = int (*)(int, float *);
using GetVoxelCoordsTimeCourseOfVTCPrototype = int (*)(int, int, int, int, float *);
using GetVoxelCoordsTimeCourseOfVTCsPrototype = int (*)(int, int, int, float *);
using GetGLMOfCurrentVMRPrototype = float *(*)(GLM_Header *);
using LoadMaskToCurrentVMRPrototype = int (*)(const char *);
using GetMaskOfCurrentVMRPrototype = unsigned char *(*)();

// Scene and surfaces (SRF), mesh time courses (MTC), surface maps (SMP), sphere mappings (SSM)
// (83-109)
using GetScenePrototype = int (*)(SCENE_Header *);
using GetCurrentSRFPrototype = int (*)(SRF_Header *);
using ReleaseSRFAccessPrototype = void (*)(SRF_Header *);
using SaveCurrentSRFPrototype = void (*)(const char *);
using SetCurrentSRFPrototype = int (*)(int);
using LinkMTCToCurrentSRFPrototype = int (*)(const char *, int);
using GetMTCOfCurrentSRFPrototype = float **(*)(MTC_Header *);
using SetMTCParametersOfCurrentSRFPrototype = int (*)(MTC_Header *);
using CreateMTCForCurrentSRFPrototype = int (*)(int);
using SaveMTCOfCurrentSRFPrototype = void (*)(const char *);
using ClearMultiMTCRefsOfCurrentSRFPrototype = int (*)();
using AddMultiMTCRefToCurrentSRFPrototype = int (*)(const char *);
using GetVertexTimeCourseOfMTCPrototype = int (*)(int, int, float *);
using GetVertexTimeCourseOfAllMTCsPrototype = int (*)(int, float *);
using GetSMPsOfCurrentSRFPrototype = int (*)(SMPs_Header *);
using GetSMPOfCurrentSRFPrototype = float *(*)(int, SMP_Header *);
using SetSMPParametersOfCurrentSRFPrototype = int (*)(int, SMP_Header *);
using LoadSMPsToCurrentSRFPrototype = int (*)(const char *);
using SaveSMPsOfCurrentSRFPrototype = void (*)(const char *);
using CreateSMPForCurrentSRFPrototype = int (*)();
using DeleteSMPsOfCurrentSRFPrototype = void (*)();
using OverlaySMPsOnSRFPrototype = void (*)();
using GetSSMOfCurrentSRFPrototype = int *(*)(SSM_Header *);
using LoadSSMToCurrentSRFPrototype = int (*)(const char *);
using SaveSSMOfCurrentSRFPrototype = void (*)(const char *);
using CreateSSMForCurrentSRFPrototype = int (*)();
using DeleteSSMOfCurrentSRFPrototype = void (*)();

// Stimulation protocol (110-117)
using ClearProtocolPrototype = void (*)();
using LoadProtocolPrototype = int (*)(const char *);
using SaveProtocolPrototype = int (*)(const char *);
using GetProtocolPrototype = int (*)(Protocol_Header *);
using SetProtocolPrototype = int (*)(Protocol_Header *);
using GetProtocolConditionPrototype = int (*)(int, ProtocolCondition_Header *);
using AddProtocolConditionPrototype = int (*)(ProtocolCondition_Header *);
using AddProtocolConditionIntervalPrototype = int (*)(int, int, int);

// Design matrix and predictors (118-129)
using ClearDesignMatrixPrototype = int (*)();
using AddPredictorPrototype = int (*)(const char *);
using SetPredictorValuesFromConditionPrototype = int (*)(const char *, int, float);
using SetPredictorValuesFromConditionNamePrototype = int (*)(const char *, const char *, float);
using ApplyTwoGammaHRFToPredictorPrototype = int (*)(int);
using ApplyTwoGammaHRFToPredictorWithNamePrototype = int (*)(const char *);
using ApplyBoyntonHRFToPredictorPrototype = int (*)(int);
using ApplyBoyntonHRFToPredictorWithNamePrototype = int (*)(const char *);
using GetPredictorPrototype = float *(*)(int);
using GetPredictorByNamePrototype = float *(*)(const char *);
using LoadSingleStudyGLMDesignMatrixPrototype = int (*)(const char *);
using SaveSingleStudyGLMDesignMatrixPrototype = int (*)(const char *);

// Volumes and patches of interest (VOI, POI) (130-137)
using LoadVOIsPrototype = int (*)(const char *);
using SaveVOIsPrototype = int (*)(const char *);
using GetVOIsPrototype = int (*)(VOIs_Header *);
using GetVOIPrototype = int *(*)(int, VOI_Header *);
using LoadPOIsPrototype = int (*)(const char *);
using SavePOIsPrototype = int (*)(const char *);
using GetPOIsPrototype = int (*)(POIs_Header *);
using GetPOIPrototype = int *(*)(int, POI_Header *);

// Named parameters and dialog parameters (138-149)
using GetStringParameterPrototype = int (*)(char *, char *);
using GetIntParameterPrototype = int (*)(char *);
using GetFloatParameterPrototype = float (*)(char *);
using SetStringParameterPrototype = void (*)(char *, char *);
using SetIntParameterPrototype = void (*)(char *, int);
using SetFloatParameterPrototype = void (*)(char *, float);
using GetDlgStringParameterPrototype = int (*)(int, const char *);
using GetDlgIntegerParameterPrototype = int (*)(int);
using GetDlgFloatParameterPrototype = float (*)(int);
using SetDlgStringOutputParameterPrototype = void (*)(int, const char *);
using SetDlgIntegerOutputParameterPrototype = void (*)(int, int);
using SetDlgFloatOutputParameterPrototype = void (*)(int, float);

// Dialog launcher (150)
using LaunchICADialogPrototype = void (*)();

// ---- Version comparison ----

// True when version A (MajorA.MinorA.SubMinorA) is at least version B, comparing
// the three numbers in turn as signed ints. Equal versions compare true.
static inline bool checkVersionGreaterEqualVersion(int MajorA, int MinorA, int SubMinorA,
                                                   int MajorB, int MinorB, int SubMinorB)
{
    if (MajorA != MajorB)
        return MajorA > MajorB;
    if (MinorA != MinorB)
        return MinorA > MinorB;
    return SubMinorA >= SubMinorB;
}

#ifndef LMTK_HOST_IMPLEMENTATION

// ---- Host API table, in the order of resolution ----
//
// Callable once InitTKAccess() has returned true, and only where the entry is
// not null: a host that lacks a function leaves its entry null.

// Application, log, message and input dialogs, file dialogs, window and cursor, workspace documents
// (1-21)
static GetVersionOfLumarinTKPrototype tkGetVersionOfLumarinTK = nullptr;
static GetLumarinTKPathPrototype tkGetLumarinTKPath = nullptr;
static GetPluginsPathPrototype tkGetPluginsPath = nullptr;
static ShowLogPanePrototype tkShowLogPane = nullptr;
static ShowLogTabPrototype tkShowLogTab = nullptr;
static LogTextPrototype tkLogText = nullptr;
static MessageBoxPrototype tkMessageBox = nullptr;
static YesNoMessageBoxPrototype tkYesNoMessageBox = nullptr;
static GetIntegerInputPrototype tkGetIntegerInput = nullptr;
static GetFloatInputPrototype tkGetFloatInput = nullptr;
static GetTextInputPrototype tkGetTextInput = nullptr;
static GetOpenFileNamePrototype tkGetOpenFileName = nullptr;
static GetSaveFileNamePrototype tkGetSaveFileName = nullptr;
static UpdateActiveWindowPrototype tkUpdateActiveWindow = nullptr;
static ShowBusyCursorPrototype tkShowBusyCursor = nullptr;
static StopBusyCursorPrototype tkStopBusyCursor = nullptr;
static GetNumberOfDocsInWorkspacePrototype tkGetNumberOfDocsInWorkspace = nullptr;
static GetDocumentTypePrototype tkGetDocumentType = nullptr;
static GetDocumentTypeNamePrototype tkGetDocumentTypeName = nullptr;
static GetIDOfCurrentDocumentPrototype tkGetIDOfCurrentDocument = nullptr;
static SetAsCurrentDocumentPrototype tkSetAsCurrentDocument = nullptr;

// Alignment calculations (22-23)
static CalculateIAMatrixPrototype tkCalculateIAMatrix = nullptr;
static GetTRFParametersFromVolumeToolsDlgPrototype tkGetTRFParametersFromVolumeToolsDlg = nullptr;

// Functional project (FMR) of the current document (24-32)
static GetHeaderOfCurrentFMRPrototype tkGetHeaderOfCurrentFMR = nullptr;
static SetHeaderOfCurrentFMRPrototype tkSetHeaderOfCurrentFMR = nullptr;
static GetSTCFloatDataOfCurrentFMRPrototype tkGetSTCFloatDataOfCurrentFMR = nullptr;
static GetSTCIntDataOfCurrentFMRPrototype tkGetSTCIntDataOfCurrentFMR = nullptr;
static GetSTCDataOfCurrentFMRPrototype tkGetSTCDataOfCurrentFMR = nullptr;
static SaveFMRPrototype tkSaveFMR = nullptr;
static SaveFMRAndSTCPrototype tkSaveFMRAndSTC = nullptr;
static GetScannerPositionHeaderOfCurrentFMRPrototype tkGetScannerPositionHeaderOfCurrentFMR =
    nullptr;
static SetScannerPositionHeaderOfCurrentFMRPrototype tkSetScannerPositionHeaderOfCurrentFMR =
    nullptr;

// Diffusion project (DMR) of the current document (33-40)
static GetHeaderOfCurrentDMRPrototype tkGetHeaderOfCurrentDMR = nullptr;
static SetHeaderOfCurrentDMRPrototype tkSetHeaderOfCurrentDMR = nullptr;
static GetDWIFloatDataOfCurrentDMRPrototype tkGetDWIFloatDataOfCurrentDMR = nullptr;
static GetDWIIntDataOfCurrentDMRPrototype tkGetDWIIntDataOfCurrentDMR = nullptr;
static GetDWIDataOfCurrentDMRPrototype tkGetDWIDataOfCurrentDMR = nullptr;
static ConvertDWIFormatOfCurrentDMRPrototype tkConvertDWIFormatOfCurrentDMR = nullptr;
static SaveDMRPrototype tkSaveDMR = nullptr;
static SaveDMRAndDWIPrototype tkSaveDMRAndDWI = nullptr;

// Anatomical volume (VMR) of the current document (41-49)
static GetCurrentVMRPrototype tkGetCurrentVMR = nullptr;
static GetMainHeaderOfCurrentVMRPrototype tkGetMainHeaderOfCurrentVMR = nullptr;
static SetMainHeaderOfCurrentVMRPrototype tkSetMainHeaderOfCurrentVMR = nullptr;
static GetScannerPositionHeaderOfCurrentVMRPrototype tkGetScannerPositionHeaderOfCurrentVMR =
    nullptr;
static SetScannerPositionHeaderOfCurrentVMRPrototype tkSetScannerPositionHeaderOfCurrentVMR =
    nullptr;
static GetPastTransformationsHeaderOfCurrentVMRPrototype
    tkGetPastTransformationsHeaderOfCurrentVMR = nullptr;
static SetPastTransformationsHeaderOfCurrentVMRPrototype
    tkSetPastTransformationsHeaderOfCurrentVMR = nullptr;
static ReframeCurrentVMRPrototype tkReframeCurrentVMR = nullptr;
static GetCrossPositionOfCurrentVMRPrototype tkGetCrossPositionOfCurrentVMR = nullptr;

// Volume maps of the current VMR (NR and AR families) (50-64)
static GetNRVMPsOfCurrentVMRPrototype tkGetNRVMPsOfCurrentVMR = nullptr;
static GetNRVMPOfCurrentVMRPrototype tkGetNRVMPOfCurrentVMR = nullptr;
static SetNRVMPParametersOfCurrentVMRPrototype tkSetNRVMPParametersOfCurrentVMR = nullptr;
static LoadNRVMPsToCurrentVMRPrototype tkLoadNRVMPsToCurrentVMR = nullptr;
static SaveNRVMPsOfCurrentVMRPrototype tkSaveNRVMPsOfCurrentVMR = nullptr;
static CreateNRVMPsForCurrentVMRPrototype tkCreateNRVMPsForCurrentVMR = nullptr;
static DeleteNRVMPsOfCurrentVMRPrototype tkDeleteNRVMPsOfCurrentVMR = nullptr;
static SetNRVMPsParamsDisplayRangePrototype tkSetNRVMPsParamsDisplayRange = nullptr;
static GetARVMPsOfCurrentVMRPrototype tkGetARVMPsOfCurrentVMR = nullptr;
static GetARVMPOfCurrentVMRPrototype tkGetARVMPOfCurrentVMR = nullptr;
static SetARVMPParametersOfCurrentVMRPrototype tkSetARVMPParametersOfCurrentVMR = nullptr;
static LoadARVMPsToCurrentVMRPrototype tkLoadARVMPsToCurrentVMR = nullptr;
static SaveARVMPsOfCurrentVMRPrototype tkSaveARVMPsOfCurrentVMR = nullptr;
static CreateARVMPsForCurrentVMRPrototype tkCreateARVMPsForCurrentVMR = nullptr;
static DeleteARVMPsOfCurrentVMRPrototype tkDeleteARVMPsOfCurrentVMR = nullptr;

// Volume time courses (VTC), multi-VTC analysis, voxel time courses, GLM, mask (65-82)
static LinkVTCToCurrentVMRPrototype tkLinkVTCToCurrentVMR = nullptr;
static CreateVTCForCurrentVMRPrototype tkCreateVTCForCurrentVMR = nullptr;
static GetHeaderOfVTCOfCurrentVMRPrototype tkGetHeaderOfVTCOfCurrentVMR = nullptr;
static SetHeaderOfVTCOfCurrentVMRPrototype tkSetHeaderOfVTCOfCurrentVMR = nullptr;
static GetVTCOfCurrentVMRPrototype tkGetVTCOfCurrentVMR = nullptr;
static GetVTCFloatDataOfCurrentVMRPrototype tkGetVTCFloatDataOfCurrentVMR = nullptr;
static GetVTCIntDataOfCurrentVMRPrototype tkGetVTCIntDataOfCurrentVMR = nullptr;
static SetVTCParametersOfCurrentVMRPrototype tkSetVTCParametersOfCurrentVMR = nullptr;
static SaveVTCOfCurrentVMRPrototype tkSaveVTCOfCurrentVMR = nullptr;
static ClearMultiVTCAnalysisPrototype tkClearMultiVTCAnalysis = nullptr;
static AddVTCRefForMultiVTCAnalysisPrototype tkAddVTCRefForMultiVTCAnalysis = nullptr;
static GetVoxelTimeCourseOfVTCPrototype tkGetVoxelTimeCourseOfVTC = nullptr;
static GetVoxelTimeCourseOfVTCsPrototype tkGetVoxelTimeCourseOfVTCs = nullptr;
static GetVoxelCoordsTimeCourseOfVTCPrototype tkGetVoxelCoordsTimeCourseOfVTC = nullptr;
static GetVoxelCoordsTimeCourseOfVTCsPrototype tkGetVoxelCoordsTimeCourseOfVTCs = nullptr;
static GetGLMOfCurrentVMRPrototype tkGetGLMOfCurrentVMR = nullptr;
static LoadMaskToCurrentVMRPrototype tkLoadMaskToCurrentVMR = nullptr;
static GetMaskOfCurrentVMRPrototype tkGetMaskOfCurrentVMR = nullptr;

// Scene and surfaces (SRF), mesh time courses (MTC), surface maps (SMP), sphere mappings (SSM)
// (83-109)
static GetScenePrototype tkGetScene = nullptr;
static GetCurrentSRFPrototype tkGetCurrentSRF = nullptr;
static ReleaseSRFAccessPrototype tkReleaseSRFAccess = nullptr;
static SaveCurrentSRFPrototype tkSaveCurrentSRF = nullptr;
static SetCurrentSRFPrototype tkSetCurrentSRF = nullptr;
static LinkMTCToCurrentSRFPrototype tkLinkMTCToCurrentSRF = nullptr;
static GetMTCOfCurrentSRFPrototype tkGetMTCOfCurrentSRF = nullptr;
static SetMTCParametersOfCurrentSRFPrototype tkSetMTCParametersOfCurrentSRF = nullptr;
static CreateMTCForCurrentSRFPrototype tkCreateMTCForCurrentSRF = nullptr;
static SaveMTCOfCurrentSRFPrototype tkSaveMTCOfCurrentSRF = nullptr;
static ClearMultiMTCRefsOfCurrentSRFPrototype tkClearMultiMTCRefsOfCurrentSRF = nullptr;
static AddMultiMTCRefToCurrentSRFPrototype tkAddMultiMTCRefToCurrentSRF = nullptr;
static GetVertexTimeCourseOfMTCPrototype tkGetVertexTimeCourseOfMTC = nullptr;
static GetVertexTimeCourseOfAllMTCsPrototype tkGetVertexTimeCourseOfAllMTCs = nullptr;
static GetSMPsOfCurrentSRFPrototype tkGetSMPsOfCurrentSRF = nullptr;
static GetSMPOfCurrentSRFPrototype tkGetSMPOfCurrentSRF = nullptr;
static SetSMPParametersOfCurrentSRFPrototype tkSetSMPParametersOfCurrentSRF = nullptr;
static LoadSMPsToCurrentSRFPrototype tkLoadSMPsToCurrentSRF = nullptr;
static SaveSMPsOfCurrentSRFPrototype tkSaveSMPsOfCurrentSRF = nullptr;
static CreateSMPForCurrentSRFPrototype tkCreateSMPForCurrentSRF = nullptr;
static DeleteSMPsOfCurrentSRFPrototype tkDeleteSMPsOfCurrentSRF = nullptr;
static OverlaySMPsOnSRFPrototype tkOverlaySMPsOnSRF = nullptr;
static GetSSMOfCurrentSRFPrototype tkGetSSMOfCurrentSRF = nullptr;
static LoadSSMToCurrentSRFPrototype tkLoadSSMToCurrentSRF = nullptr;
static SaveSSMOfCurrentSRFPrototype tkSaveSSMOfCurrentSRF = nullptr;
static CreateSSMForCurrentSRFPrototype tkCreateSSMForCurrentSRF = nullptr;
static DeleteSSMOfCurrentSRFPrototype tkDeleteSSMOfCurrentSRF = nullptr;

// Stimulation protocol (110-117)
static ClearProtocolPrototype tkClearProtocol = nullptr;
static LoadProtocolPrototype tkLoadProtocol = nullptr;
static SaveProtocolPrototype tkSaveProtocol = nullptr;
static GetProtocolPrototype tkGetProtocol = nullptr;
static SetProtocolPrototype tkSetProtocol = nullptr;
static GetProtocolConditionPrototype tkGetProtocolCondition = nullptr;
static AddProtocolConditionPrototype tkAddProtocolCondition = nullptr;
static AddProtocolConditionIntervalPrototype tkAddProtocolConditionInterval = nullptr;

// Design matrix and predictors (118-129)
static ClearDesignMatrixPrototype tkClearDesignMatrix = nullptr;
static AddPredictorPrototype tkAddPredictor = nullptr;
static SetPredictorValuesFromConditionPrototype tkSetPredictorValuesFromCondition = nullptr;
static SetPredictorValuesFromConditionNamePrototype tkSetPredictorValuesFromConditionName = nullptr;
static ApplyTwoGammaHRFToPredictorPrototype tkApplyTwoGammaHRFToPredictor = nullptr;
static ApplyTwoGammaHRFToPredictorWithNamePrototype tkApplyTwoGammaHRFToPredictorWithName = nullptr;
static ApplyBoyntonHRFToPredictorPrototype tkApplyBoyntonHRFToPredictor = nullptr;
static ApplyBoyntonHRFToPredictorWithNamePrototype tkApplyBoyntonHRFToPredictorWithName = nullptr;
static GetPredictorPrototype tkGetPredictor = nullptr;
static GetPredictorByNamePrototype tkGetPredictorByName = nullptr;
static LoadSingleStudyGLMDesignMatrixPrototype tkLoadSingleStudyGLMDesignMatrix = nullptr;
static SaveSingleStudyGLMDesignMatrixPrototype tkSaveSingleStudyGLMDesignMatrix = nullptr;

// Volumes and patches of interest (VOI, POI) (130-137)
static LoadVOIsPrototype tkLoadVOIs = nullptr;
static SaveVOIsPrototype tkSaveVOIs = nullptr;
static GetVOIsPrototype tkGetVOIs = nullptr;
static GetVOIPrototype tkGetVOI = nullptr;
static LoadPOIsPrototype tkLoadPOIs = nullptr;
static SavePOIsPrototype tkSavePOIs = nullptr;
static GetPOIsPrototype tkGetPOIs = nullptr;
static GetPOIPrototype tkGetPOI = nullptr;

// Named parameters and dialog parameters (138-149)
static GetStringParameterPrototype tkGetStringParameter = nullptr;
static GetIntParameterPrototype tkGetIntParameter = nullptr;
static GetFloatParameterPrototype tkGetFloatParameter = nullptr;
static SetStringParameterPrototype tkSetStringParameter = nullptr;
static SetIntParameterPrototype tkSetIntParameter = nullptr;
static SetFloatParameterPrototype tkSetFloatParameter = nullptr;
static GetDlgStringParameterPrototype tkGetDlgStringParameter = nullptr;
static GetDlgIntegerParameterPrototype tkGetDlgIntegerParameter = nullptr;
static GetDlgFloatParameterPrototype tkGetDlgFloatParameter = nullptr;
static SetDlgStringOutputParameterPrototype tkSetDlgStringOutputParameter = nullptr;
static SetDlgIntegerOutputParameterPrototype tkSetDlgIntegerOutputParameter = nullptr;
static SetDlgFloatOutputParameterPrototype tkSetDlgFloatOutputParameter = nullptr;

// Dialog launcher (150)
static LaunchICADialogPrototype tkLaunchICADialog = nullptr;

// Fills the table from the running host program.
//
// Opens the program itself (dlopen of no file, lazy binding) and looks up
// tkGetVersionOfLumarinTK. When the program cannot be opened, returns false and
// leaves the table untouched. When the version function is missing, returns
// false with only that entry written (null); the other entries are not looked
// up. Otherwise looks up entries 2 to 150 in table order, storing each as found
// (null where the host lacks the function), and returns true. A second call
// looks everything up again. The program handle is never closed: the host stays
// loaded for as long as the process runs.
static inline bool InitTKAccess()
{
    void *handle = dlopen(nullptr, RTLD_LAZY);
    if (handle == nullptr)
        return false;

#define LMTK_RESOLVE(name) tk##name = reinterpret_cast<name##Prototype>(dlsym(handle, "tk" #name))
    LMTK_RESOLVE(GetVersionOfLumarinTK);
    if (tkGetVersionOfLumarinTK == nullptr)
        return false;

    LMTK_RESOLVE(GetLumarinTKPath);
    LMTK_RESOLVE(GetPluginsPath);
    LMTK_RESOLVE(ShowLogPane);
    LMTK_RESOLVE(ShowLogTab);
    LMTK_RESOLVE(LogText);
    LMTK_RESOLVE(MessageBox);
    LMTK_RESOLVE(YesNoMessageBox);
    LMTK_RESOLVE(GetIntegerInput);
    LMTK_RESOLVE(GetFloatInput);
    LMTK_RESOLVE(GetTextInput);
    LMTK_RESOLVE(GetOpenFileName);
    LMTK_RESOLVE(GetSaveFileName);
    LMTK_RESOLVE(UpdateActiveWindow);
    LMTK_RESOLVE(ShowBusyCursor);
    LMTK_RESOLVE(StopBusyCursor);
    LMTK_RESOLVE(GetNumberOfDocsInWorkspace);
    LMTK_RESOLVE(GetDocumentType);
    LMTK_RESOLVE(GetDocumentTypeName);
    LMTK_RESOLVE(GetIDOfCurrentDocument);
    LMTK_RESOLVE(SetAsCurrentDocument);

    // Alignment calculations
    LMTK_RESOLVE(CalculateIAMatrix);
    LMTK_RESOLVE(GetTRFParametersFromVolumeToolsDlg);

    // Functional project (FMR) of the current document
    LMTK_RESOLVE(GetHeaderOfCurrentFMR);
    LMTK_RESOLVE(SetHeaderOfCurrentFMR);
    LMTK_RESOLVE(GetSTCFloatDataOfCurrentFMR);
    LMTK_RESOLVE(GetSTCIntDataOfCurrentFMR);
    LMTK_RESOLVE(GetSTCDataOfCurrentFMR);
    LMTK_RESOLVE(SaveFMR);
    LMTK_RESOLVE(SaveFMRAndSTC);
    LMTK_RESOLVE(GetScannerPositionHeaderOfCurrentFMR);
    LMTK_RESOLVE(SetScannerPositionHeaderOfCurrentFMR);

    // Diffusion project (DMR) of the current document
    LMTK_RESOLVE(GetHeaderOfCurrentDMR);
    LMTK_RESOLVE(SetHeaderOfCurrentDMR);
    LMTK_RESOLVE(GetDWIFloatDataOfCurrentDMR);
    LMTK_RESOLVE(GetDWIIntDataOfCurrentDMR);
    LMTK_RESOLVE(GetDWIDataOfCurrentDMR);
    LMTK_RESOLVE(ConvertDWIFormatOfCurrentDMR);
    LMTK_RESOLVE(SaveDMR);
    LMTK_RESOLVE(SaveDMRAndDWI);

    // Anatomical volume (VMR) of the current document
    LMTK_RESOLVE(GetCurrentVMR);
    LMTK_RESOLVE(GetMainHeaderOfCurrentVMR);
    LMTK_RESOLVE(SetMainHeaderOfCurrentVMR);
    LMTK_RESOLVE(GetScannerPositionHeaderOfCurrentVMR);
    LMTK_RESOLVE(SetScannerPositionHeaderOfCurrentVMR);
    LMTK_RESOLVE(GetPastTransformationsHeaderOfCurrentVMR);
    LMTK_RESOLVE(SetPastTransformationsHeaderOfCurrentVMR);
    LMTK_RESOLVE(ReframeCurrentVMR);
    LMTK_RESOLVE(GetCrossPositionOfCurrentVMR);

    // Volume maps of the current VMR (NR and AR families)
    LMTK_RESOLVE(GetNRVMPsOfCurrentVMR);
    LMTK_RESOLVE(GetNRVMPOfCurrentVMR);
    LMTK_RESOLVE(SetNRVMPParametersOfCurrentVMR);
    LMTK_RESOLVE(LoadNRVMPsToCurrentVMR);
    LMTK_RESOLVE(SaveNRVMPsOfCurrentVMR);
    LMTK_RESOLVE(CreateNRVMPsForCurrentVMR);
    LMTK_RESOLVE(DeleteNRVMPsOfCurrentVMR);
    LMTK_RESOLVE(SetNRVMPsParamsDisplayRange);
    LMTK_RESOLVE(GetARVMPsOfCurrentVMR);
    LMTK_RESOLVE(GetARVMPOfCurrentVMR);
    LMTK_RESOLVE(SetARVMPParametersOfCurrentVMR);
    LMTK_RESOLVE(LoadARVMPsToCurrentVMR);
    LMTK_RESOLVE(SaveARVMPsOfCurrentVMR);
    LMTK_RESOLVE(CreateARVMPsForCurrentVMR);
    LMTK_RESOLVE(DeleteARVMPsOfCurrentVMR);

    // Volume time courses (VTC), multi-VTC analysis, voxel time courses, GLM, mask
    LMTK_RESOLVE(LinkVTCToCurrentVMR);
    LMTK_RESOLVE(CreateVTCForCurrentVMR);
    LMTK_RESOLVE(GetHeaderOfVTCOfCurrentVMR);
    LMTK_RESOLVE(SetHeaderOfVTCOfCurrentVMR);
    LMTK_RESOLVE(GetVTCOfCurrentVMR);
    LMTK_RESOLVE(GetVTCFloatDataOfCurrentVMR);
    LMTK_RESOLVE(GetVTCIntDataOfCurrentVMR);
    LMTK_RESOLVE(SetVTCParametersOfCurrentVMR);
    LMTK_RESOLVE(SaveVTCOfCurrentVMR);
    LMTK_RESOLVE(ClearMultiVTCAnalysis);
    LMTK_RESOLVE(AddVTCRefForMultiVTCAnalysis);
    LMTK_RESOLVE(GetVoxelTimeCourseOfVTC);
    LMTK_RESOLVE(GetVoxelTimeCourseOfVTCs);
    LMTK_RESOLVE(GetVoxelCoordsTimeCourseOfVTC);
    LMTK_RESOLVE(GetVoxelCoordsTimeCourseOfVTCs);
    LMTK_RESOLVE(GetGLMOfCurrentVMR);
    LMTK_RESOLVE(LoadMaskToCurrentVMR);
    LMTK_RESOLVE(GetMaskOfCurrentVMR);

    // Scene and surfaces (SRF), mesh time courses (MTC), surface maps (SMP), sphere mappings (SSM)
    LMTK_RESOLVE(GetScene);
    LMTK_RESOLVE(GetCurrentSRF);
    LMTK_RESOLVE(ReleaseSRFAccess);
    LMTK_RESOLVE(SaveCurrentSRF);
    LMTK_RESOLVE(SetCurrentSRF);
    LMTK_RESOLVE(LinkMTCToCurrentSRF);
    LMTK_RESOLVE(GetMTCOfCurrentSRF);
    LMTK_RESOLVE(SetMTCParametersOfCurrentSRF);
    LMTK_RESOLVE(CreateMTCForCurrentSRF);
    LMTK_RESOLVE(SaveMTCOfCurrentSRF);
    LMTK_RESOLVE(ClearMultiMTCRefsOfCurrentSRF);
    LMTK_RESOLVE(AddMultiMTCRefToCurrentSRF);
    LMTK_RESOLVE(GetVertexTimeCourseOfMTC);
    LMTK_RESOLVE(GetVertexTimeCourseOfAllMTCs);
    LMTK_RESOLVE(GetSMPsOfCurrentSRF);
    LMTK_RESOLVE(GetSMPOfCurrentSRF);
    LMTK_RESOLVE(SetSMPParametersOfCurrentSRF);
    LMTK_RESOLVE(LoadSMPsToCurrentSRF);
    LMTK_RESOLVE(SaveSMPsOfCurrentSRF);
    LMTK_RESOLVE(CreateSMPForCurrentSRF);
    LMTK_RESOLVE(DeleteSMPsOfCurrentSRF);
    LMTK_RESOLVE(OverlaySMPsOnSRF);
    LMTK_RESOLVE(GetSSMOfCurrentSRF);
    LMTK_RESOLVE(LoadSSMToCurrentSRF);
    LMTK_RESOLVE(SaveSSMOfCurrentSRF);
    LMTK_RESOLVE(CreateSSMForCurrentSRF);
    LMTK_RESOLVE(DeleteSSMOfCurrentSRF);

    // Stimulation protocol
    LMTK_RESOLVE(ClearProtocol);
    LMTK_RESOLVE(LoadProtocol);
    LMTK_RESOLVE(SaveProtocol);
    LMTK_RESOLVE(GetProtocol);
    LMTK_RESOLVE(SetProtocol);
    LMTK_RESOLVE(GetProtocolCondition);
    LMTK_RESOLVE(AddProtocolCondition);
    LMTK_RESOLVE(AddProtocolConditionInterval);

    // Design matrix and predictors
    LMTK_RESOLVE(ClearDesignMatrix);
    LMTK_RESOLVE(AddPredictor);
    LMTK_RESOLVE(SetPredictorValuesFromCondition);
    LMTK_RESOLVE(SetPredictorValuesFromConditionName);
    LMTK_RESOLVE(ApplyTwoGammaHRFToPredictor);
    LMTK_RESOLVE(ApplyTwoGammaHRFToPredictorWithName);
    LMTK_RESOLVE(ApplyBoyntonHRFToPredictor);
    LMTK_RESOLVE(ApplyBoyntonHRFToPredictorWithName);
    LMTK_RESOLVE(GetPredictor);
    LMTK_RESOLVE(GetPredictorByName);
    LMTK_RESOLVE(LoadSingleStudyGLMDesignMatrix);
    LMTK_RESOLVE(SaveSingleStudyGLMDesignMatrix);

    // Volumes and patches of interest (VOI, POI)
    LMTK_RESOLVE(LoadVOIs);
    LMTK_RESOLVE(SaveVOIs);
    LMTK_RESOLVE(GetVOIs);
    LMTK_RESOLVE(GetVOI);
    LMTK_RESOLVE(LoadPOIs);
    LMTK_RESOLVE(SavePOIs);
    LMTK_RESOLVE(GetPOIs);
    LMTK_RESOLVE(GetPOI);

    // Named parameters and dialog parameters
    LMTK_RESOLVE(GetStringParameter);
    LMTK_RESOLVE(GetIntParameter);
    LMTK_RESOLVE(GetFloatParameter);
    LMTK_RESOLVE(SetStringParameter);
    LMTK_RESOLVE(SetIntParameter);
    LMTK_RESOLVE(SetFloatParameter);
    LMTK_RESOLVE(GetDlgStringParameter);
    LMTK_RESOLVE(GetDlgIntegerParameter);
    LMTK_RESOLVE(GetDlgFloatParameter);
    LMTK_RESOLVE(SetDlgStringOutputParameter);
    LMTK_RESOLVE(SetDlgIntegerOutputParameter);
    LMTK_RESOLVE(SetDlgFloatOutputParameter);

    // Dialog launcher
    LMTK_RESOLVE(LaunchICADialog);
#undef LMTK_RESOLVE
    return true;
}

#endif  // LMTK_HOST_IMPLEMENTATION

#endif  // TESSIVANE_LMTK_PLUGIN_INTERFACE_H
