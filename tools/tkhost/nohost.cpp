// tkhost-nohost PLUGIN: a host process that exports none of the plugin-API
// functions, for tkhost --validate. It creates the plugin, calls initPlugin(),
// which must refuse, then execute() the way a careless host would, and
// destroys it. Exit status 0 when the plugin refused and nothing crashed, 1
// when it accepted, 2 when it could not be loaded.
#include "LMTKPluginInterface.h"

#include <dlfcn.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    auto create = library != nullptr
                      ? reinterpret_cast<LMTKPluginInterface *(*)()>(dlsym(library, "createPlugin"))
                      : nullptr;
    if (create == nullptr)
        return 2;
    LMTKPluginInterface *plugin = create();
    if (plugin == nullptr)
        return 2;
    const bool accepted = plugin->initPlugin();
    plugin->execute();
    delete plugin;
    dlclose(library);
    if (accepted)
        std::puts("initPlugin accepted a host without plugin-API functions");
    return accepted ? 1 : 0;
}
