#include "IntMath.h"

int _ilog2(int x) {
    int n = 0;
    while (x > 1) {
        x >>= 1;
        ++n;
    }
    return n;
}
