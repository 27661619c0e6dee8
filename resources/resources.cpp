#include "resources.h"

#include <QtGlobal>

static void initCorvantaQrc()
{
    Q_INIT_RESOURCE(corvanta);
}

namespace Resources {

void init()
{
    static bool done = false;
    if (!done) {
        initCorvantaQrc();
        done = true;
    }
}

} // namespace Resources
