#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals that ask a process to stop (SIGTERM, SIGINT, SIGHUP) into a Qt signal
// on the user-interface thread, so the program can keep what the user changed before it
// ends. One object per process; the handlers are removed when it goes.
class CStopSignals : public QObject {
    Q_OBJECT
public:
    explicit CStopSignals(QObject* parent = nullptr);
    ~CStopSignals() override;

signals:
    // Emitted once for each stop signal received.
    void StopRequested(int nSignal);

private:
    void OnReadable();

    QSocketNotifier* m_pNotifier = nullptr;
};
