#include "platform/console.h"

#include <stdio.h>
#include <stdlib.h>

namespace platform {

void ConsolePause() {
    fflush(stdout);
    system("pause");
}

}  // namespace platform
