#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QThread>

// The one thread on which the browsers are called, so that a browser that is slow or hung
// never holds up the window. The work posted runs there one piece at a time, in the order
// posted, inside the thread's own event loop: what the work makes (socket notifiers,
// timers) belongs to the thread and has to be deleted by work too. Results come back to the
// thread that made this object, through its event loop.
class CBrowserThread {
public:
    CBrowserThread();
    // Runs the work posted so far, then ends the thread and waits for it.
    ~CBrowserThread();
    CBrowserThread(const CBrowserThread&) = delete;
    CBrowserThread& operator=(const CBrowserThread&) = delete;

    // Runs `work` on the thread after everything posted before it.
    void Post(std::function<void()> work);

    // Runs `work` on the thread, then `done` with its result on the thread that made this
    // object, unless `receiver` (of that thread) is gone by then. The results of all calls
    // arrive in the order the calls were made.
    template <class R>
    void Call(QObject* receiver, std::function<R()> work, std::function<void(R)> done) {
        Post([this, receiver = QPointer<QObject>(receiver), work = std::move(work),
              done = std::move(done)] {
            auto pResult = std::make_shared<R>(work());
            QMetaObject::invokeMethod(
                &m_Home,
                [receiver, done, pResult] {
                    if (receiver) {
                        done(std::move(*pResult));
                    }
                },
                Qt::QueuedConnection);
        });
    }

private:
    // Lives on the thread that made this object; the results are delivered to it.
    QObject m_Home;
    QThread m_Thread;
    // Lives on the browser thread; the work is posted to it.
    QObject* m_pWorkContext;
};
