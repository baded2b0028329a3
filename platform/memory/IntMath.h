#pragma once
// floor(log2(x)) for x >= 0: the number of halvings while x > 1 (0 for 0 and 1).
int _ilog2(int x);
