// The application uses the layers under it: allowed.
#pragma once
#include <base/answer.h>
