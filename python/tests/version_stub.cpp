// A stand-in for the version function of a libtessivane of another major
// version: preloaded (LD_PRELOAD) by the test that the package refuses it.
namespace tessivane {
__attribute__((visibility("default"))) const char *version()
{
    return "9.9.9";
}
}  // namespace tessivane
