// Answers the program's real modal dialogs while a test runs: each dialog that comes up is
// recorded and handed to the next queued answer, or closed by its close box when none is
// queued, so that an unexpected dialog fails a test instead of hanging it.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <vector>

namespace pivotta::app {

class ModalAnswerer : public QObject {
public:
    using Answer = std::function<void(QDialog*)>;

    ModalAnswerer();

    // The answer to the next dialog that comes up; it must close that dialog.
    void Expect(Answer answer) { answers_.push_back(std::move(answer)); }

    // The object names of the dialogs that came up, in order.
    QStringList seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Poll();

    std::deque<Answer> answers_;
    std::vector<QDialog*> handled_;  // answered and still up
    QTimer timer_;
};

}  // namespace pivotta::app
