// The desktop program.

#include <QApplication>

#include "DesktopProgram.h"
#include "engine/scan/HeapTuning.h"

int main(int argc, char** argv) {
    // The browser pane's engine shares OpenGL contexts with the widgets; Qt
    // wants to know before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    tallowby::ServeLargeBlocksFromTheHeap();
    QApplication app(argc, argv);
    return tallowby::RunDesktopProgram();
}
