#include "ModalAnswerer.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>

namespace pivotta::app {

ModalAnswerer::ModalAnswerer()
{
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
    timer_.start(5);
}

void ModalAnswerer::Poll()
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || std::find(handled_.begin(), handled_.end(), dialog) != handled_.end()) return;
    handled_.push_back(dialog);
    dialog->installEventFilter(this);
    seen.append(dialog->objectName());

    Answer answer = [](QDialog* shown) { shown->reject(); };
    if (!answers_.empty()) {
        answer = std::move(answers_.front());
        answers_.pop_front();
    }
    // Queued, not run here: an answer that opens a dialog of its own must not hold up this
    // timer, which answers that one too.
    QMetaObject::invokeMethod(
        this, [answer = std::move(answer), target = QPointer<QDialog>(dialog)] {
            if (target) answer(target);
        },
        Qt::QueuedConnection);
}

bool ModalAnswerer::eventFilter(QObject* watched, QEvent* event)
{
    // A dialog is reused: once hidden, its next showing is a new one to answer.
    if (event->type() == QEvent::Hide) {
        std::erase(handled_, watched);
        watched->removeEventFilter(this);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace pivotta::app
