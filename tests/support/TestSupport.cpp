// Shared helpers of the tests live here (see TestSupport.h).
#include "support/TestSupport.h"
