// The Lumarin TK plugin API: the 150 host functions, in the order in which a
// plugin resolves them.
//
//   LMTK_HOST_FUNCTION(position, result type, name without "tk", (parameter types))
//
// LMTK_HOST_FUNCTION(6, void, LogText, (const char *)) is the host function
//   void tkLogText(const char *);
// whose pointer type is LogTextPrototype (see LMTKPluginInterface.h).
//
// This file is the one list from which the function types, the plugin's table
// and its resolution are made: define LMTK_HOST_FUNCTION, then include this
// file, which undefines the macro again at its end. It has no include guard on
// purpose. The record types in the parameters come from the Plugin_*_Header.h
// headers.

// Application, log, message and input dialogs, file dialogs, window and cursor, workspace documents
// (1-21)
LMTK_HOST_FUNCTION(1, void, GetVersionOfLumarinTK, (int *, int *, int *))
LMTK_HOST_FUNCTION(2, void, GetLumarinTKPath, (char *))
LMTK_HOST_FUNCTION(3, void, GetPluginsPath, (char *))
LMTK_HOST_FUNCTION(4, void, ShowLogPane, ())
LMTK_HOST_FUNCTION(5, void, ShowLogTab, ())
LMTK_HOST_FUNCTION(6, void, LogText, (const char *))
LMTK_HOST_FUNCTION(7, void, MessageBox, (const char *))
LMTK_HOST_FUNCTION(8, int, YesNoMessageBox, (const char *))
LMTK_HOST_FUNCTION(9, int, GetIntegerInput, (const char *, int, int, int))
LMTK_HOST_FUNCTION(10, float, GetFloatInput, (const char *, float, float, float))
LMTK_HOST_FUNCTION(11, int, GetTextInput, (const char *, const char *, char *))
LMTK_HOST_FUNCTION(12, int, GetOpenFileName, (const char *, const char *, const char *, char *))
LMTK_HOST_FUNCTION(13, int, GetSaveFileName, (const char *, const char *, const char *, char *))
LMTK_HOST_FUNCTION(14, void, UpdateActiveWindow, ())
LMTK_HOST_FUNCTION(15, void, ShowBusyCursor, ())
LMTK_HOST_FUNCTION(16, void, StopBusyCursor, ())
LMTK_HOST_FUNCTION(17, int, GetNumberOfDocsInWorkspace, ())
LMTK_HOST_FUNCTION(18, int, GetDocumentType, (int))
LMTK_HOST_FUNCTION(19, char *, GetDocumentTypeName, (int))
LMTK_HOST_FUNCTION(20, int, GetIDOfCurrentDocument, ())
LMTK_HOST_FUNCTION(21, void, SetAsCurrentDocument, (int))

// Alignment calculations (22-23)
LMTK_HOST_FUNCTION(22, int, CalculateIAMatrix,
                   (FMR_ScannerPosition_Header *, VMR_ScannerPosition_Header *,
                    VMR_PastTransformations_Header *, float *, float *, float *, float *, float *,
                    float *, float *, float *))
LMTK_HOST_FUNCTION(23, int, GetTRFParametersFromVolumeToolsDlg,
                   (float *, float *, float *, float *, float *, float *, float *, float *,
                    float *))

// Functional project (FMR) of the current document (24-32)
LMTK_HOST_FUNCTION(24, int, GetHeaderOfCurrentFMR, (FMR_Header *))
LMTK_HOST_FUNCTION(25, int, SetHeaderOfCurrentFMR, (FMR_Header *))
LMTK_HOST_FUNCTION(26, float **, GetSTCFloatDataOfCurrentFMR, ())
LMTK_HOST_FUNCTION(27, short **, GetSTCIntDataOfCurrentFMR, ())
LMTK_HOST_FUNCTION(28, short **, GetSTCDataOfCurrentFMR, ())
LMTK_HOST_FUNCTION(29, int, SaveFMR, (const char *))
LMTK_HOST_FUNCTION(30, int, SaveFMRAndSTC, (const char *, const char *))
LMTK_HOST_FUNCTION(31, unsigned int, GetScannerPositionHeaderOfCurrentFMR,
                   (FMR_ScannerPosition_Header *))
LMTK_HOST_FUNCTION(32, unsigned int, SetScannerPositionHeaderOfCurrentFMR,
                   (FMR_ScannerPosition_Header *))

// Diffusion project (DMR) of the current document (33-40)
LMTK_HOST_FUNCTION(33, int, GetHeaderOfCurrentDMR, (DMR_Header *))
LMTK_HOST_FUNCTION(34, int, SetHeaderOfCurrentDMR, (DMR_Header *))
LMTK_HOST_FUNCTION(35, float **, GetDWIFloatDataOfCurrentDMR, ())
LMTK_HOST_FUNCTION(36, short **, GetDWIIntDataOfCurrentDMR, ())
LMTK_HOST_FUNCTION(37, short **, GetDWIDataOfCurrentDMR, ())
LMTK_HOST_FUNCTION(38, int, ConvertDWIFormatOfCurrentDMR, (int, int))
LMTK_HOST_FUNCTION(39, int, SaveDMR, (const char *))
LMTK_HOST_FUNCTION(40, int, SaveDMRAndDWI, (const char *, const char *))

// Anatomical volume (VMR) of the current document (41-49)
LMTK_HOST_FUNCTION(41, unsigned char *, GetCurrentVMR, (int *, int *, int *))
LMTK_HOST_FUNCTION(42, unsigned int, GetMainHeaderOfCurrentVMR, (VMR_Header *))
LMTK_HOST_FUNCTION(43, unsigned int, SetMainHeaderOfCurrentVMR, (VMR_Header *))
LMTK_HOST_FUNCTION(44, unsigned int, GetScannerPositionHeaderOfCurrentVMR,
                   (VMR_ScannerPosition_Header *))
LMTK_HOST_FUNCTION(45, unsigned int, SetScannerPositionHeaderOfCurrentVMR,
                   (VMR_ScannerPosition_Header *))
LMTK_HOST_FUNCTION(46, unsigned int, GetPastTransformationsHeaderOfCurrentVMR,
                   (VMR_PastTransformations_Header *))
LMTK_HOST_FUNCTION(47, unsigned int, SetPastTransformationsHeaderOfCurrentVMR,
                   (VMR_PastTransformations_Header *))
LMTK_HOST_FUNCTION(48, unsigned int, ReframeCurrentVMR, (int, int, int))
LMTK_HOST_FUNCTION(49, int, GetCrossPositionOfCurrentVMR, (int *, int *, int *))

// Volume maps of the current VMR (NR and AR families) (50-64)
LMTK_HOST_FUNCTION(50, float **, GetNRVMPsOfCurrentVMR, (NR_VMPs_Header *))
LMTK_HOST_FUNCTION(51, float *, GetNRVMPOfCurrentVMR, (int, NR_VMP_Header *))
LMTK_HOST_FUNCTION(52, int, SetNRVMPParametersOfCurrentVMR, (int, NR_VMP_Header *))
LMTK_HOST_FUNCTION(53, int, LoadNRVMPsToCurrentVMR, (const char *))
LMTK_HOST_FUNCTION(54, void, SaveNRVMPsOfCurrentVMR, (const char *))
LMTK_HOST_FUNCTION(55, int, CreateNRVMPsForCurrentVMR, (int, int, int, NR_VMPs_Header *))
LMTK_HOST_FUNCTION(56, void, DeleteNRVMPsOfCurrentVMR, ())
LMTK_HOST_FUNCTION(57, int, SetNRVMPsParamsDisplayRange, (NR_VMPs_Header *))
LMTK_HOST_FUNCTION(58, float **, GetARVMPsOfCurrentVMR, (AR_VMPs_Header *))
LMTK_HOST_FUNCTION(59, float *, GetARVMPOfCurrentVMR, (int, AR_VMP_Header *))
LMTK_HOST_FUNCTION(60, int, SetARVMPParametersOfCurrentVMR, (int, AR_VMP_Header *))
LMTK_HOST_FUNCTION(61, int, LoadARVMPsToCurrentVMR, (const char *))
LMTK_HOST_FUNCTION(62, void, SaveARVMPsOfCurrentVMR, (const char *))
LMTK_HOST_FUNCTION(63, int, CreateARVMPsForCurrentVMR, (int, AR_VMPs_Header *))
LMTK_HOST_FUNCTION(64, void, DeleteARVMPsOfCurrentVMR, ())

// Volume time courses (VTC), multi-VTC analysis, voxel time courses, GLM, mask (65-82)
LMTK_HOST_FUNCTION(65, int, LinkVTCToCurrentVMR, (const char *, int))
LMTK_HOST_FUNCTION(66, int, CreateVTCForCurrentVMR, (int, VTC_Header *))
LMTK_HOST_FUNCTION(67, int, GetHeaderOfVTCOfCurrentVMR, (VTC_Header *))
LMTK_HOST_FUNCTION(68, int, SetHeaderOfVTCOfCurrentVMR, (VTC_Header *))
LMTK_HOST_FUNCTION(69, short *, GetVTCOfCurrentVMR, (VTC_Header *))
LMTK_HOST_FUNCTION(70, float *, GetVTCFloatDataOfCurrentVMR, ())
LMTK_HOST_FUNCTION(71, short *, GetVTCIntDataOfCurrentVMR, ())
LMTK_HOST_FUNCTION(72, int, SetVTCParametersOfCurrentVMR, (VTC_Header *))
LMTK_HOST_FUNCTION(73, void, SaveVTCOfCurrentVMR, (const char *))
LMTK_HOST_FUNCTION(74, int, ClearMultiVTCAnalysis, ())
LMTK_HOST_FUNCTION(75, int, AddVTCRefForMultiVTCAnalysis, (const char *))
LMTK_HOST_FUNCTION(76, int, GetVoxelTimeCourseOfVTC, (int, int, float *))
LMTK_HOST_FUNCTION(77, int, GetVoxelTimeCourseOfVTCs, (int, float *))
LMTK_HOST_FUNCTION(78, int, GetVoxelCoordsTimeCourseOfVTC, (int, int, int, int, float *))
LMTK_HOST_FUNCTION(79, int, GetVoxelCoordsTimeCourseOfVTCs, (int, int, int, float *))
LMTK_HOST_FUNCTION(80, float *, GetGLMOfCurrentVMR, (GLM_Header *))
LMTK_HOST_FUNCTION(81, int, LoadMaskToCurrentVMR, (const char *))
LMTK_HOST_FUNCTION(82, unsigned char *, GetMaskOfCurrentVMR, ())

// Scene and surfaces (SRF), mesh time courses (MTC), surface maps (SMP), sphere mappings (SSM)
// (83-109)
LMTK_HOST_FUNCTION(83, int, GetScene, (SCENE_Header *))
LMTK_HOST_FUNCTION(84, int, GetCurrentSRF, (SRF_Header *))
LMTK_HOST_FUNCTION(85, void, ReleaseSRFAccess, (SRF_Header *))
LMTK_HOST_FUNCTION(86, void, SaveCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(87, int, SetCurrentSRF, (int))
LMTK_HOST_FUNCTION(88, int, LinkMTCToCurrentSRF, (const char *, int))
LMTK_HOST_FUNCTION(89, float **, GetMTCOfCurrentSRF, (MTC_Header *))
LMTK_HOST_FUNCTION(90, int, SetMTCParametersOfCurrentSRF, (MTC_Header *))
LMTK_HOST_FUNCTION(91, int, CreateMTCForCurrentSRF, (int))
LMTK_HOST_FUNCTION(92, void, SaveMTCOfCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(93, int, ClearMultiMTCRefsOfCurrentSRF, ())
LMTK_HOST_FUNCTION(94, int, AddMultiMTCRefToCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(95, int, GetVertexTimeCourseOfMTC, (int, int, float *))
LMTK_HOST_FUNCTION(96, int, GetVertexTimeCourseOfAllMTCs, (int, float *))
LMTK_HOST_FUNCTION(97, int, GetSMPsOfCurrentSRF, (SMPs_Header *))
LMTK_HOST_FUNCTION(98, float *, GetSMPOfCurrentSRF, (int, SMP_Header *))
LMTK_HOST_FUNCTION(99, int, SetSMPParametersOfCurrentSRF, (int, SMP_Header *))
LMTK_HOST_FUNCTION(100, int, LoadSMPsToCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(101, void, SaveSMPsOfCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(102, int, CreateSMPForCurrentSRF, ())
LMTK_HOST_FUNCTION(103, void, DeleteSMPsOfCurrentSRF, ())
LMTK_HOST_FUNCTION(104, void, OverlaySMPsOnSRF, ())
LMTK_HOST_FUNCTION(105, int *, GetSSMOfCurrentSRF, (SSM_Header *))
LMTK_HOST_FUNCTION(106, int, LoadSSMToCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(107, void, SaveSSMOfCurrentSRF, (const char *))
LMTK_HOST_FUNCTION(108, int, CreateSSMForCurrentSRF, ())
LMTK_HOST_FUNCTION(109, void, DeleteSSMOfCurrentSRF, ())

// Stimulation protocol (110-117)
LMTK_HOST_FUNCTION(110, void, ClearProtocol, ())
LMTK_HOST_FUNCTION(111, int, LoadProtocol, (const char *))
LMTK_HOST_FUNCTION(112, int, SaveProtocol, (const char *))
LMTK_HOST_FUNCTION(113, int, GetProtocol, (Protocol_Header *))
LMTK_HOST_FUNCTION(114, int, SetProtocol, (Protocol_Header *))
LMTK_HOST_FUNCTION(115, int, GetProtocolCondition, (int, ProtocolCondition_Header *))
LMTK_HOST_FUNCTION(116, int, AddProtocolCondition, (ProtocolCondition_Header *))
LMTK_HOST_FUNCTION(117, int, AddProtocolConditionInterval, (int, int, int))

// Design matrix and predictors (118-129)
LMTK_HOST_FUNCTION(118, int, ClearDesignMatrix, ())
LMTK_HOST_FUNCTION(119, int, AddPredictor, (const char *))
LMTK_HOST_FUNCTION(120, int, SetPredictorValuesFromCondition, (const char *, int, float))
LMTK_HOST_FUNCTION(121, int, SetPredictorValuesFromConditionName,
                   (const char *, const char *, float))
LMTK_HOST_FUNCTION(122, int, ApplyTwoGammaHRFToPredictor, (int))
LMTK_HOST_FUNCTION(123, int, ApplyTwoGammaHRFToPredictorWithName, (const char *))
LMTK_HOST_FUNCTION(124, int, ApplyBoyntonHRFToPredictor, (int))
LMTK_HOST_FUNCTION(125, int, ApplyBoyntonHRFToPredictorWithName, (const char *))
LMTK_HOST_FUNCTION(126, float *, GetPredictor, (int))
LMTK_HOST_FUNCTION(127, float *, GetPredictorByName, (const char *))
LMTK_HOST_FUNCTION(128, int, LoadSingleStudyGLMDesignMatrix, (const char *))
LMTK_HOST_FUNCTION(129, int, SaveSingleStudyGLMDesignMatrix, (const char *))

// Volumes and patches of interest (VOI, POI) (130-137)
LMTK_HOST_FUNCTION(130, int, LoadVOIs, (const char *))
LMTK_HOST_FUNCTION(131, int, SaveVOIs, (const char *))
LMTK_HOST_FUNCTION(132, int, GetVOIs, (VOIs_Header *))
LMTK_HOST_FUNCTION(133, int *, GetVOI, (int, VOI_Header *))
LMTK_HOST_FUNCTION(134, int, LoadPOIs, (const char *))
LMTK_HOST_FUNCTION(135, int, SavePOIs, (const char *))
LMTK_HOST_FUNCTION(136, int, GetPOIs, (POIs_Header *))
LMTK_HOST_FUNCTION(137, int *, GetPOI, (int, POI_Header *))

// Named parameters and dialog parameters (138-149)
LMTK_HOST_FUNCTION(138, int, GetStringParameter, (char *, char *))
LMTK_HOST_FUNCTION(139, int, GetIntParameter, (char *))
LMTK_HOST_FUNCTION(140, float, GetFloatParameter, (char *))
LMTK_HOST_FUNCTION(141, void, SetStringParameter, (char *, char *))
LMTK_HOST_FUNCTION(142, void, SetIntParameter, (char *, int))
LMTK_HOST_FUNCTION(143, void, SetFloatParameter, (char *, float))
LMTK_HOST_FUNCTION(144, int, GetDlgStringParameter, (int, const char *))
LMTK_HOST_FUNCTION(145, int, GetDlgIntegerParameter, (int))
LMTK_HOST_FUNCTION(146, float, GetDlgFloatParameter, (int))
LMTK_HOST_FUNCTION(147, void, SetDlgStringOutputParameter, (int, const char *))
LMTK_HOST_FUNCTION(148, void, SetDlgIntegerOutputParameter, (int, int))
LMTK_HOST_FUNCTION(149, void, SetDlgFloatOutputParameter, (int, float))

// Dialog launcher (150)
LMTK_HOST_FUNCTION(150, void, LaunchICADialog, ())

#undef LMTK_HOST_FUNCTION
