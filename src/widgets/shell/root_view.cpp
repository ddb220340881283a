#include "root_view.h"

namespace tovi {

RootView::RootView(QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(QStringLiteral("ToviStudio"));
    setMinimumSize(980, 680);
}

} // namespace tovi
