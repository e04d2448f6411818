#ifndef MASTERTHREAD_H
#define MASTERTHREAD_H

#include "runcause.h"

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

    // How the last run ended, or why it did not start, with the facts the
    // user is told. Read once the run has reported its end.
    RunCause lastCause() const;

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
    void setLastCause(const RunCause &cause);

    mutable QMutex m_causeMutex;
    RunCause m_lastCause;
};

#endif // MASTERTHREAD_H
