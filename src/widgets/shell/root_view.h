#pragma once

#include <QWidget>

namespace tovi {

// The window's content: for now an empty frame under the application's title.
class RootView : public QWidget {
    Q_OBJECT
public:
    explicit RootView(QWidget* parent = nullptr);
};

} // namespace tovi
