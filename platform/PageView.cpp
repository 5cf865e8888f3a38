#include "PageView.h"

#include <utility>

namespace {

PageViewFactory& Factory() {
    static PageViewFactory factory;
    return factory;
}

}  // namespace

void SetPageViewFactory(PageViewFactory factory) {
    Factory() = std::move(factory);
}

std::unique_ptr<PageView> MakePageView(QWidget* owner) {
    return Factory() ? Factory()(owner) : nullptr;
}
