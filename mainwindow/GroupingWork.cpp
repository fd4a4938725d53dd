#include "GroupingWork.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <atomic>
#include <thread>

#include "engine/tally/WorkList.h"
#include "results/ResultsModel.h"

namespace tallowby {

void RunKeepingWindowAlive(const WorkList& list, const std::function<void()>& work) {
    if (list.size() < kBackgroundGroupEntries || QCoreApplication::instance() == nullptr) {
        work();
        return;
    }
    // Put the list in order here, so the worker only reads it. Nothing else
    // changes it meanwhile: user input waits, and a scan (the only writer)
    // starts from user input or is paused further down this very stack.
    (void)list.at(0);
    std::atomic<bool> done{false};
    QEventLoop wait;
    std::thread worker([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    while (!done) {
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    worker.join();
}

void FillInPieces(ResultsModel& model, std::size_t count,
                  const std::function<ResultCells(std::size_t)>& cellsOf) {
    for (std::size_t from = 0; from < count; from += kFillPiece) {
        if (from > 0) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        model.append(std::min(kFillPiece, count - from),
                     [&](std::size_t i) { return cellsOf(from + i); });
    }
}

}  // namespace tallowby
