// A plain shared library: the plug-in loader must refuse it.
extern "C" __attribute__((visibility("default"))) int hvNotAPlugin()
{
    return 42;
}
