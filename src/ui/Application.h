// The Qt application with a last catch: no exception crosses the event loop.
#pragma once

#include <QApplication>

namespace vx::ui {

class CApplication : public QApplication {
    Q_OBJECT
public:
    CApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace vx::ui
