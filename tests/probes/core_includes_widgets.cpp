// Must not compile: the core may not use QtWidgets.
#include <QtWidgets/QWidget>

int probe() {
    return sizeof(QWidget);
}
