// A shared object without version strings of its own that depends on one
// that has them.
extern "C" int FixtureAnswer();

extern "C" __attribute__((visibility("default"))) int DependentAnswer() { return FixtureAnswer() + 1; }
