#ifndef MASTERTHREAD_H
#define MASTERTHREAD_H

#include "failurereport.h"

#include <QMutex>
#include <QString>
#include <QThread>

// Carries out one programming run at a time, away from the GUI thread, and
// reports only through its signals.
class MasterThread : public QThread
{
    Q_OBJECT

public:
    explicit MasterThread(QObject *parent = nullptr);
    ~MasterThread() override;

    void transaction(const QString &portName, const QString &firmwareFile);

    // What the user is told of the last run's failure: why, what to do, and
    // what the programmer printed. Empty when it did not fail. Read once the
    // run has reported.
    FailureReport lastFailure() const;

signals:
    void response(const QString &s);
    void error(const QString &s);
    void timeout(const QString &s);
    void completion();
    void failure();
    void startgif();
    void stopgif();

private:
    void run() override;
    void setLastFailure(const FailureReport &report);

    mutable QMutex m_failureMutex;
    FailureReport m_lastFailure;
};

#endif // MASTERTHREAD_H
