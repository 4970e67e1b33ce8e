// The tessivane plugin for Lumarin TK: the native half of a batch-processing
// wizard.
//
// The wizard's user interface is a script run by the host (see getGUIScript).
// Whenever the script needs a file it stores a command in the host parameter
// store and has the host call execute(); the plugin shows the host's open-file
// dialog and writes the chosen path, or an error, back into the store:
//
//   key               kind  direction         meaning
//   "Command"         text  script -> plugin  "GetFileName", "GetTargetFileName"
//                                             or "GetTextFileName"
//   "FileType"        text  script -> plugin  filter for the "GetFileName" dialog
//   "Filename"        text  plugin -> script  path for "GetFileName" and
//                                             "GetTextFileName"
//   "TargetFilename"  text  plugin -> script  path for "GetTargetFileName"
//   "ErrorNr"         int   plugin -> script  0 when a file was chosen, -1 if not
//   "ErrorMsg"        text  plugin -> script  "No file selected" when none was
//
// Lifecycle: the host reads the getters, calls createPlugin(), then
// initPlugin() once, execute() once per script request, and finally deletes the
// object. [host thread only]
#ifndef TESSIVANE_TESSIVANE_H
#define TESSIVANE_TESSIVANE_H

#include "LMTKPluginInterface.h"
#include "tessivane_export.h"

// The batch-processing plugin object. It holds no state of its own; successive
// calls exchange data only through the host parameter store. Objects are made
// by createPlugin().
class batchprocessing : public LMTKPluginInterface {
public:
    batchprocessing() {}
    // Writes "batchprocessingplugin finished!" to the host log when the host's
    // log function has been resolved (not when initPlugin() was never called or
    // found no host).
    ~batchprocessing() override;
    // Reads "Command" and "FileType" (100 characters at most each), shows the
    // open-file dialog the command asks for and writes "Filename" or
    // "TargetFilename" (the path as the dialog wrote it) and "ErrorNr" = 0, or
    // "ErrorNr" = -1 and "ErrorMsg" = "No file selected". A command that is
    // none of the three changes nothing. Always returns true, so a host never
    // reads a false as a failure the script was not told of.
    //
    // Out of contract: unless the last initPlugin() in this process returned
    // true (never called, host functions missing, host too old, or it did not
    // complete), execute() calls nothing, writes nothing and returns true like
    // any request it does not serve. A host that writes more than the agreed
    // lengths into any buffer the plugin hands it as writable (texts read,
    // names and values passed, the path) corrupts nothing up to 4095 bytes and
    // a terminator: each is 4 KiB, on the stack. Parameter texts past 100
    // characters are cut there; a path is kept whole up to 4095 bytes. A path
    // that fills the whole buffer may have been cut by it: the plugin then logs
    // "tessivane: the chosen path does not fit in 4095 bytes; no file selected"
    // and reports no file chosen.
    bool execute() override;
    // Resolves the host functions and checks the host version. Returns false,
    // showing nothing, when the host's functions cannot be found (including any
    // the plugin calls); false after the message box "Can not execute this
    // plugin - LumarinTK version 2.3 or higher required." when the host is
    // older than 2.3.0; otherwise brings the log to the front, writes
    // "Running tessivane..." and returns true. Until it returns true, execute()
    // serves nothing: a call that ends in an exception from a host function
    // leaves the host refused.
    bool initPlugin() override;
};

// Entry points the host looks up by their plain names. The texts are constant
// with static lifetime; the caller must not free or change them. None of them
// needs a plugin object or initialisation.
extern "C" {

// A new batchprocessing object; the caller owns it and deletes it through the
// virtual destructor. Allocation failure propagates as std::bad_alloc.
TV_API LMTKPluginInterface *createPlugin();
// "tessivane (v1.2)"
TV_API const char *getPluginName();
// "Plugin to process multiple Lumarin files<br>"
TV_API const char *getPluginDescription();
// "<i>Ilse Varrow</i>, Kestrelbay B.V."
TV_API const char *getAuthor();
// "" (the plugin has no help file)
TV_API const char *getHelpFile();
// "1.2"
TV_API const char *getPluginVersion();
// "tessivane_v12.js", the wizard script the host runs
TV_API const char *getGUIScript();

}  // extern "C"

#endif  // TESSIVANE_TESSIVANE_H
