// A session source that uses base: allowed.
#include "base/answer.h"
int SessionAnswer() { return Answer(); }
