// A library with code but no version resource.
extern "C" __declspec(dllexport) int TavNoVersionResource() {
    return 1;
}
