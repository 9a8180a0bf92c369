#pragma once
inline int Answer() { return 42; }
