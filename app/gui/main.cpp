// The desktop program.

#include <QApplication>

#include "DesktopProgram.h"

int main(int argc, char** argv) {
    // The browser pane's engine shares OpenGL contexts with the widgets; Qt
    // wants to know before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    return tallowby::RunDesktopProgram();
}
