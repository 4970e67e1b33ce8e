// A shared object with none of the plugin entry points, for tkhost's refusal
// to load it.
extern "C" __attribute__((visibility("default"))) int not_a_plugin_answer()
{
    return 42;
}
