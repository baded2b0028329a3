// Library for binding tests: exports by name, by name and ordinal, by ordinal
// only, and one upper-case name. Each returns its own number.
extern "C" {
int AidNamed() { return 101; }
int AidBoth() { return 102; }
int AidHidden() { return 103; }
int AidUpper() { return 104; }
}
