// A host that loads the library, uses the process-wide state of its random
// generator, unloads it and loads it again. The library is built without
// unique symbols precisely so that this unloads it for real: the second load
// must start from fresh state, as a host that reloads its plugins expects.
#include <dlfcn.h>

#include <cstdio>

namespace {

using Ran1 = float (*)(long *);

// ran1(long*) under its standard mangled name.
Ran1 load_ran1(void *library)
{
    return reinterpret_cast<Ran1>(dlsym(library, "_Z4ran1Pl"));
}

int fail(const char *what)
{
    std::fprintf(stderr, "reload_host: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return fail("usage: reload_host LIBRARY");
    const char *path = argv[1];

    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return fail(dlerror());
    Ran1 ran1 = load_ran1(library);
    if (!ran1)
        return fail("ran1 not exported");
    long idum = 2385;
    const float first = ran1(&idum);  // first call in this load: seeds from state 1
    const float second = ran1(&idum);
    if (dlclose(library) != 0)
        return fail(dlerror());

    if (dlopen(path, RTLD_NOW | RTLD_NOLOAD) != nullptr)
        return fail("the library stayed loaded after dlclose");

    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return fail(dlerror());
    ran1 = load_ran1(library);
    idum = 2385;
    const float again = ran1(&idum);
    dlclose(library);
    if (again != first || again == second)
        return fail("the reloaded generator did not start afresh");

    std::printf("reload_host: unloaded and reloaded with fresh state\n");
    return 0;
}
