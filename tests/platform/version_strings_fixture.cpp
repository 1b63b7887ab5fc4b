// A shared object that describes itself the way the posix seam reads
// version strings: key, value, key, value, ... closed by an empty key.
extern "C" __attribute__((visibility("default"))) const char16_t PadscopeVersionStrings[] =
    u"FileVersion\0"
    u"7.4.2.19\0"
    u"CompanyName\0"
    u"Test Tablets \u00c5B\0"
    u"ProductVersion\0"
    u"7.4\0"
    u"\0";

extern "C" __attribute__((visibility("default"))) int FixtureAnswer() { return 4711; }
