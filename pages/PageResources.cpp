#include "PageResources.h"

#include <QtCore/qglobal.h>

void InitPageResources() {
    Q_INIT_RESOURCE(tessora_pages);
}
